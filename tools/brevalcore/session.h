#pragma once
// A host session played without a host: a VBScript file calls the banner control (registered
// as "control", its members global) and a simulator ("sim", members global too) that clicks,
// answers dialogs and fixes the time. Every effect the control has on the outside world goes
// to a SessionReport: `brevalcore run` prints one machine-readable line per effect, `brevalcore
// demo` narrates them.
#include <cstdio>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/automation/text.h"
#include "platform/automation/variant.h"

namespace CLI {
class App;
}

namespace brevalcore::tools {

using automation::String;
using automation::StringView;
using automation::Variant;

class SessionReport {
 public:
  virtual ~SessionReport() = default;

  enum class CallKind { kMethod, kGet, kPut };
  // The session is about to call a member of the control.
  virtual void HostCall(StringView member, CallKind kind, std::span<const Variant> args) {}
  // The rule script changed its banner choice during the last host call or click.
  virtual void BannerChanged(const String& before, const String& after) {}
  // The package update ran at the control's start.
  virtual void PackageUpdated(bool usable, bool unpacked, int filesWritten) {}
  // The session script ended; `iniFilePath` is the doctor's settings file, empty when the
  // control never learnt the doctor.
  virtual void Finished(StringView iniFilePath) {}
  // A page finished loading in the browser; `title` is the page's <title>, maybe empty.
  virtual void PageShown(StringView url, StringView title) {}

  // A rule of banner.script failed: `where` is FILE:LINE:COL in the author's script (LINE and
  // COL 0 when the error has no place), then the engine's error, the script procedure it
  // happened in (empty at the script's top level), and the procedure the control ran.
  struct RuleFailure {
    std::string where;
    int number = 0;
    String description;
    String procedure;
    String entryPoint;
  };
  virtual void RuleFailed(const RuleFailure& failure) {}
  // With --strict: a pressed link that did nothing (no event but OnClick, no dialog, no file
  // opened, no trace, no change to the doctor's settings), and a page that is not there.
  virtual void LinkWithoutEffect(StringView href) {}
  virtual void PageMissing(StringView url) {}
  // A problem the control reported to its diagnostics (the log); on standard error unless
  // the report shows it itself.
  virtual void Log(StringView message) { std::fprintf(stderr, "brevalcore: %s\n", automation::ToUtf8(message).c_str()); }

  virtual void Navigate(StringView url) = 0;
  // An event raised to the host: `question` is what the control passes, without the answer
  // slot of the two events that ask the host for a text; `answer` is the host's answer then.
  virtual void Event(int id, StringView name, std::span<const Variant> question, const String* answer) = 0;
  virtual void MessageBox(int styleCode, StringView title, StringView text) = 0;
  virtual void Dialog(StringView name, const std::vector<String>& lines) = 0;
  virtual void ShellOpen(StringView target) = 0;
  virtual void Spawn(const std::string& commandLine) = 0;
  virtual void Shortcut(StringView path, StringView target) = 0;
  virtual void Trace(std::span<const Variant> values) = 0;
  virtual void Echo(StringView text) = 0;
};

struct SessionOptions {
  std::string scriptPath;  // for messages
  String code;             // the session script
  std::string dataRoot;    // machine-wide data folder; the banner folder is DATA/Brevalcore
  std::string controlDir;  // the control's own folder (doctors' settings files, resource library)
  std::string banners;     // a folder whose files are copied into the banner folder first, or empty
  std::string package;     // a resource library put in the control folder before the start, or empty
  std::string traceDb;     // the trace database the control's own tracer writes, or empty: traces are only reported
  std::optional<automation::Date> now;  // the session's clock; the real time when empty
  bool strict = false;   // report links without effect and missing pages (run --strict)
  bool keep = false;     // keep the temporary folders (run --keep)
  std::vector<std::string> temporaryFolders;  // the folders CompleteFolders made
};

// What a session leaves for --strict and --coverage.
struct SessionSummary {
  int ruleFailures = 0;
  int linksWithoutEffect = 0;
  int pagesMissing = 0;
  std::map<String, int> bannersShown;    // page file name -> times the web view went there
  std::vector<String> pages;             // the banner pages of the banner folder
  std::map<String, int> entryPointRuns;  // "BeforeSelect" -> runs, failed ones included
  std::string scriptShownAs;             // banner.script as the author knows it
  String scriptText;                     // the script's text, for the coverage listing
  std::map<int, uint32_t> lineRuns;      // statement lines of the script and their runs
};

// Adds the options every session command has (--data-root, --control-dir, --banners,
// --package, --trace-db, --now), bound to `options`.
void AddSessionOptions(CLI::App& app, SessionOptions& options);

// Gives the data root and control folder their defaults (new temporary folders, listed in
// `temporaryFolders`) and makes both absolute.
void CompleteFolders(SessionOptions& options);
// Removes the temporary folders, or with `keep` names them on stderr.
void CleanUpFolders(const SessionOptions& options, const char* commandName);

// Reads a scenario (UTF-8, else Windows-1252; a regular file of at most 16 MB); gives why it
// cannot be read, or "" when `code` holds it.
std::string ReadScriptFile(const std::string& path, String& code);

// A new folder under the system's temporary folder, named after `what`.
std::string MakeTempFolder(const std::string& what);

// Plays the session. Returns 0, or 2 after writing "brevalcore COMMAND: ..." on stderr when
// the session script fails or its folders cannot be prepared. Fills `summary` when given.
int PlaySession(const SessionOptions& options, SessionReport& report, const char* commandName,
                SessionSummary* summary = nullptr);

}  // namespace brevalcore::tools
