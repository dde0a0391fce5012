#pragma once
// Subcommands of the `brevalcore` tool. Each lives in its own cmd_<name>.cpp and registers
// itself with a static SubcommandRegistration, so adding one never touches main.cpp.
#include <string>
#include <vector>

namespace brevalcore::tools {

struct Subcommand {
  std::string name;     // "ini", "vbs", ...
  std::string summary;  // one line for `brevalcore --help`
  std::string usage;    // full usage text, printed on stderr with exit status 2 on bad arguments
  // Runs with the arguments after the subcommand's name; returns the exit status.
  int (*run)(const std::vector<std::string>& args);
};

void RegisterSubcommand(Subcommand subcommand);

struct SubcommandRegistration {
  explicit SubcommandRegistration(Subcommand subcommand) { RegisterSubcommand(std::move(subcommand)); }
};

// Prints the subcommand's usage on stderr and returns 2, the status for bad arguments.
int UsageError(const Subcommand& subcommand, const std::string& message = {});

}  // namespace brevalcore::tools
