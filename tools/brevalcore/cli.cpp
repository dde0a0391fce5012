// The command line of `brevalcore`: one CLI::App built from every registered subcommand, the
// options every subcommand shares, and the one way a bad command line is reported.
#include "tools/brevalcore/cli.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/automation/text.h"
#include "platform/script/compiler/analysis.h"
#include "platform/script/engine_version.h"
#include "tools/brevalcore/build_info.h"

namespace brevalcore::tools {
namespace {

std::vector<Subcommand>& Registry() {
  static std::vector<Subcommand> registry;
  return registry;
}

bool NoColorSet() {
  const char* value = std::getenv("NO_COLOR");
  return value && *value;
}

// The known word closest to `word`, when it is close enough to be a typing mistake; the same
// measure the checker uses for misspelt names.
std::string Closest(std::string_view word, const std::vector<std::string>& known) {
  std::vector<automation::String> candidates;
  for (const std::string& name : known) candidates.push_back(automation::FromUtf8(name));
  const auto near = script::analysis::NearNames(automation::FromUtf8(word), candidates);
  return near.empty() ? std::string() : automation::ToUtf8(near.front());
}

const CLI::App* Deepest(const CLI::App& app) {
  const auto chosen = app.get_subcommands();
  return chosen.empty() ? &app : Deepest(*chosen.front());
}

// The first argument no part of the command line took, looked for from the deepest
// subcommand up (an argument a subcommand cannot take is handed back to its parent).
std::string FirstUnexpected(const CLI::App* app) {
  for (; app; app = app->get_parent()) {
    const auto rest = app->remaining();
    if (!rest.empty()) return rest.front();
  }
  return {};
}

std::string Suggestion(const CLI::App& app, const std::string& unexpected) {
  std::string guess;
  if (unexpected.starts_with("-")) {
    guess = Closest(unexpected, OptionNames(app));
  } else {
    std::vector<std::string> names;
    for (const CLI::App* sub : VisibleSubcommands(app)) names.push_back(sub->get_name());
    guess = Closest(unexpected, names);
  }
  return guess.empty() ? std::string() : " (did you mean " + guess + "?)";
}

// One line naming what was wrong and where to read more.
int ReportParseError(const CLI::App& root, const CLI::ParseError& error) {
  const CLI::App* where = Deepest(root);
  const std::string command = CommandPath(*where);
  std::string message;
  if (const std::string unexpected = FirstUnexpected(where); !unexpected.empty()) {
    const bool option = unexpected.starts_with("-");
    message = std::string(option ? "unknown option " : where->get_subcommands({}).empty() ? "unexpected argument "
                                                                                           : "unknown command ") +
              unexpected + Suggestion(*where, unexpected);
  } else {
    message = error.what();
    if (message == "A subcommand is required") message = "a command is required";
  }
  const std::string label = command.empty() ? "brevalcore" : "brevalcore " + command;
  std::fprintf(stderr, "%s: %s; see '%s --help'\n", label.c_str(), Printable(message).c_str(), label.c_str());
  return kExitUsage;
}

// The build writes the completion scripts and manual pages with this (not a user option).
constexpr char kWriteShellFiles[] = "--write-shell-files";

int WriteShellFiles(const CLI::App& app, const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder / "man", ec);
  std::map<std::filesystem::path, std::string> files = {{folder / "brevalcore.bash", BashCompletion(app)},
                                                        {folder / "_brevalcore", ZshCompletion(app)}};
  for (auto& [name, page] : ManualPages(app)) files[folder / "man" / name] = std::move(page);
  for (const auto& [path, text] : files) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!(out << text) || !out.flush()) return Complain(kWriteShellFiles, "cannot write " + path.string(), kExitFailed);
  }
  return kExitOk;
}

}  // namespace

void RegisterSubcommand(Subcommand subcommand) { Registry().push_back(std::move(subcommand)); }

const std::vector<Subcommand>& Subcommands() {
  std::sort(Registry().begin(), Registry().end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return Registry();
}

OutputManners& Manners() {
  static OutputManners manners;
  return manners;
}

bool ColourOnStdout() { return ::isatty(STDOUT_FILENO) == 1 && !NoColorSet(); }
bool ProgressOnStderr() { return ::isatty(STDERR_FILENO) == 1 && !NoColorSet() && !Manners().quiet; }

std::string Printable(std::string_view text, bool keepNewlines) {
  std::string out;
  out.reserve(text.size());
  auto escape = [&](unsigned char byte) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
    out += hex;
  };
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) {
      if (byte == '\n' && keepNewlines) out += '\n';
      else escape(byte);
      ++i;
    } else if (byte < 0x80) {
      out += static_cast<char>(byte);
      ++i;
    } else {
      const size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
      const std::string_view sequence = text.substr(i, length);
      // C1 controls (U+0080..U+009F) are as dangerous on a terminal as C0 ones.
      const bool c1 = byte == 0xC2 && sequence.size() == 2 && static_cast<unsigned char>(sequence[1]) < 0xA0;
      if (length > 1 && sequence.size() == length && automation::IsValidUtf8(sequence) && !c1) {
        out += sequence;
        i += length;
      } else {
        escape(byte);
        ++i;
      }
    }
  }
  return out;
}

int Complain(std::string_view command, std::string_view message, int status) {
  std::fflush(stdout);
  std::fprintf(stderr, "brevalcore %.*s: %s\n", static_cast<int>(command.size()), command.data(),
               Printable(message).c_str());
  return status;
}

void Tell(std::string_view command, std::string_view message) {
  if (Manners().verbose) Complain(command, message, 0);
}

std::string VersionText() {
  char text[256];
  std::snprintf(text, sizeof text, "brevalcore %s (commit %s, %s build)\nVBScript engine %d.%d.%d\n",
                kBuildVersionText, kBuildCommit, kBuildType, script::kEngineMajorVersion,
                script::kEngineMinorVersion, script::kEngineBuildVersion);
  return text;
}

std::string CommandPath(const CLI::App& app) {
  std::string path;
  for (const CLI::App* a = &app; a && a->get_parent(); a = a->get_parent())
    path = a->get_name() + (path.empty() ? "" : " " + path);
  return path;
}

std::vector<const CLI::App*> VisibleSubcommands(const CLI::App& app) {
  std::vector<const CLI::App*> subs;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App* s) { return !s->get_group().empty(); }))
    subs.push_back(sub);
  return subs;
}

std::vector<std::string> OptionNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::Option* option : app.get_options()) {
    if (option->get_group().empty() || option->get_positional()) continue;
    for (const auto& name : option->get_lnames()) names.push_back("--" + name);
    for (const auto& name : option->get_snames()) names.push_back("-" + name);
  }
  return names;
}

void AddMannerOptions(CLI::App& app) {
  app.add_flag("-q,--quiet", Manners().quiet, "print only results and errors: no progress, no summaries");
  app.add_flag("-v,--verbose", Manners().verbose, "also tell what is read and written, on stderr");
}

Tool BuildTool() {
  Tool tool;
  CLI::App& app = *tool.app;
  app.name("brevalcore");
  app.description("The banner control's tool for banner authors and integrators.");
  app.set_version_flag("--version", VersionText);
  app.require_subcommand(1);
  app.get_formatter()->column_width(28);
  AddMannerOptions(app);
  std::string commands;
  for (const Subcommand& sub : Subcommands()) {
    CLI::App* sub_app = app.add_subcommand(sub.name, sub.summary);
    sub_app->group("Commands");
    sub_app->footer(sub.description + "\n" + kExitStatusTable);
    AddMannerOptions(*sub_app);
    tool.runners[sub_app] = sub.define(*sub_app);
  }
  app.footer(std::string("Run 'brevalcore COMMAND --help' for a command's options.\n\n") + kExitStatusTable +
             kEnvironmentText);
  return tool;
}

int RunTool(int argc, const char* const* argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "help") args[0] = "--help";
  Tool tool = BuildTool();
  CLI::App& app = *tool.app;
  if (args.size() == 2 && args[0] == kWriteShellFiles) return WriteShellFiles(app, args[1]);
  std::reverse(args.begin(), args.end());  // CLI11 takes the arguments last first
  try {
    app.parse(args);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);
    return ReportParseError(app, e);
  }
  const auto chosen = app.get_subcommands();
  const Runner& runner = tool.runners.at(chosen.front());
  try {
    return runner();
  } catch (const std::exception& e) {
    return Complain(chosen.front()->get_name(), e.what(), kExitFailed);
  }
}

}  // namespace brevalcore::tools
