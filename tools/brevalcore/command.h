#pragma once
// Subcommands of the `brevalcore` tool. Each lives in its own cmd_<name>.cpp and registers
// itself with a static SubcommandRegistration, so adding one never touches main.cpp. A
// subcommand defines its options and operands once, on a CLI::App: the parser, --help, the
// shell completion and the manual page are all made from that one definition.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

namespace brevalcore::tools {

// The exit statuses of every subcommand.
enum ExitStatus : int {
  kExitOk = 0,        // done, nothing found
  kExitFailed = 1,    // findings, failures, refusals of well-formed input
  kExitUsage = 2,     // bad arguments, an unusable file or environment variable
  kExitBusy = 3,      // unpack: a file of the folder is in use
};

// What runs once the command line has been parsed into the options a definition bound.
using Runner = std::function<int()>;

struct Subcommand {
  std::string name;         // "ini", "vbs", ...
  std::string summary;      // one line for `brevalcore --help` and the manual page's NAME
  std::string description;  // the paragraphs after the generated usage and options
  // Adds the options and operands (and nested subcommands) to `app`; returns what runs them.
  Runner (*define)(CLI::App& app);
};

void RegisterSubcommand(Subcommand subcommand);
const std::vector<Subcommand>& Subcommands();

struct SubcommandRegistration {
  explicit SubcommandRegistration(Subcommand subcommand) { RegisterSubcommand(std::move(subcommand)); }
};

// --quiet and --verbose, accepted by every subcommand, and what the terminal allows.
struct OutputManners {
  bool quiet = false;
  bool verbose = false;
};
OutputManners& Manners();
// Colour on standard output: only on a terminal and never with NO_COLOR set.
bool ColourOnStdout();
// Progress lines on standard error: only on a terminal, never with NO_COLOR or --quiet.
bool ProgressOnStderr();

// `text` with every control character, and every byte that is not UTF-8, written as \xNN, so
// names and values from files cannot move the cursor or clear the screen.
// With `keepNewlines`, line feeds stay (for multi-line listings).
std::string Printable(std::string_view text, bool keepNewlines = false);

// Writes "brevalcore COMMAND: message" on stderr (message made printable) and returns `status`.
int Complain(std::string_view command, std::string_view message, int status);
// The same after --verbose only.
void Tell(std::string_view command, std::string_view message);

}  // namespace brevalcore::tools
