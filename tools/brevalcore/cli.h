#pragma once
// The tool's command line as a whole: the CLI::App made from every registered subcommand, and
// what is generated from it (usage, shell completion, manual pages).
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/brevalcore/command.h"

namespace brevalcore::tools {

inline constexpr char kExitStatusTable[] =
    "Exit status:\n"
    "  0  done; nothing found\n"
    "  1  findings, failures, or a refusal (the message says which)\n"
    "  2  bad arguments, or a file or environment variable that cannot be used\n"
    "  3  unpack: a file of the folder is in use; nothing changed\n";

inline constexpr char kEnvironmentText[] =
    "\nEnvironment:\n"
    "  NO_COLOR             when set and not empty, no colour and no progress lines\n"
    "  BREVALCORE_TRACE_DB  the trace database trace report and push read by default\n";

struct Tool {
  std::unique_ptr<CLI::App> app = std::make_unique<CLI::App>();
  std::map<const CLI::App*, Runner> runners;  // per subcommand
};

Tool BuildTool();
// Parses the command line and runs the subcommand; returns the exit status.
int RunTool(int argc, const char* const* argv);

std::string VersionText();
// "ini read" for the nested subcommand, "" for the tool itself.
std::string CommandPath(const CLI::App& app);
std::vector<const CLI::App*> VisibleSubcommands(const CLI::App& app);
// "--json", "-q", ... of `app` (operands left out).
std::vector<std::string> OptionNames(const CLI::App& app);
void AddMannerOptions(CLI::App& app);

// Generated from the definitions at build time: the bash and zsh completion scripts and the
// manual page of the tool and of each subcommand, keyed by file name.
std::string BashCompletion(const CLI::App& app);
std::string ZshCompletion(const CLI::App& app);
std::map<std::string, std::string> ManualPages(const CLI::App& app);

}  // namespace brevalcore::tools
