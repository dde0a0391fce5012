// brevalcore: the command-line tool for banner authors and integrators.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>

#include "tools/brevalcore/command.h"

namespace brevalcore::tools {
namespace {

std::map<std::string, Subcommand>& Registry() {
  static std::map<std::string, Subcommand> registry;
  return registry;
}

int PrintHelp(std::FILE* out) {
  std::fprintf(out, "usage: brevalcore COMMAND [ARGS...]\n\nCommands:\n");
  for (const auto& [name, sub] : Registry()) std::fprintf(out, "  %-10s %s\n", name.c_str(), sub.summary.c_str());
  std::fprintf(out, "\nRun 'brevalcore COMMAND --help' for a command's usage.\n");
  return out == stdout ? 0 : 2;
}

}  // namespace

void RegisterSubcommand(Subcommand subcommand) {
  std::string name = subcommand.name;
  Registry()[name] = std::move(subcommand);
}

int UsageError(const Subcommand& subcommand, const std::string& message) {
  if (!message.empty()) std::fprintf(stderr, "brevalcore %s: %s\n", subcommand.name.c_str(), message.c_str());
  std::fprintf(stderr, "%s", subcommand.usage.c_str());
  return 2;
}

}  // namespace brevalcore::tools

int main(int argc, char** argv) {
  using namespace brevalcore::tools;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return PrintHelp(stderr);
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") return PrintHelp(stdout);
  auto it = Registry().find(args[0]);
  if (it == Registry().end()) {
    std::fprintf(stderr, "brevalcore: unknown command '%s'\n", args[0].c_str());
    return PrintHelp(stderr);
  }
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (rest.size() == 1 && (rest[0] == "--help" || rest[0] == "-h")) {
    std::printf("%s", it->second.usage.c_str());
    return 0;
  }
  try {
    return it->second.run(rest);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "brevalcore %s: %s\n", args[0].c_str(), e.what());
    return 1;
  }
}
