// brevalcore run SCENARIO.vbs: runs a banner folder without a host. The scenario plays the
// host (see session.h); every observable effect is printed on one line: a word, then JSON
// literals, so that tests compare whole runs.
#include <cstdio>
#include <memory>

#include "control/banner_control.h"
#include "control/rule_script.h"
#include "tools/authoring/findings.h"
#include "platform/automation/convert.h"
#include "tools/brevalcore/command.h"
#include "tools/brevalcore/session.h"

namespace brevalcore::tools {
namespace {

using automation::ToUtf8;

std::string Json(StringView text) { return authoring::JsonString(ToUtf8(text)); }

void Line(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

class LineReport : public SessionReport {
 public:
  void Navigate(StringView url) override { Line("navigate " + Json(url)); }
  void Event(int id, StringView name, std::span<const Variant> question, const String*) override {
    std::string line = "event " + ToUtf8(name);
    // OnClick carries the mouse button and position: numbers, printed bare.
    for (const auto& arg : question)
      line += " " + (id == control::event_id::kOnClick ? ToUtf8(automation::ToString(arg)) : Json(automation::ToString(arg)));
    Line(line);
  }
  void MessageBox(int styleCode, StringView title, StringView text) override {
    Line("msgbox " + std::to_string(styleCode) + " " + Json(title) + " " + Json(text));
  }
  void Dialog(StringView name, const std::vector<String>& lines) override {
    std::string line = "dialog " + Json(name);
    for (const auto& l : lines) line += " " + Json(l);
    Line(line);
  }
  void ShellOpen(StringView target) override { Line("shell " + Json(target)); }
  void Spawn(const std::string& commandLine) override { Line("spawn " + Json(automation::FromUtf8(commandLine))); }
  void Shortcut(StringView path, StringView target) override { Line("shortcut " + Json(path) + " " + Json(target)); }
  void Trace(std::span<const Variant> values) override {
    std::string line = "trace";
    for (const auto& value : values) line += " " + Json(automation::ToString(value));
    Line(line);
  }
  void Echo(StringView text) override { Line("echo " + Json(text)); }
  void RuleFailed(const RuleFailure& f) override {
    Line("rule-error " + Json(automation::FromUtf8(f.where)) + " " + std::to_string(f.number) + " " +
         Json(f.description) + " " + Json(f.procedure) + " " + Json(f.entryPoint));
  }
  void LinkWithoutEffect(StringView href) override { Line("no-effect " + Json(href)); }
  void PageMissing(StringView url) override { Line("missing " + Json(url)); }
  void Log(StringView message) override { Line("log " + Json(message)); }
};

std::vector<String> SourceLines(const String& text) {
  std::vector<String> lines(1);
  for (const char16_t c : text) {
    if (c == u'\n') lines.emplace_back();
    else if (c != u'\r') lines.back().push_back(c);
  }
  return lines;
}

// The coverage report: banners shown (and not), the procedures the control ran, then every
// statement line of banner.script with its runs, "#####" for the lines that never ran.
void PrintCoverage(const SessionSummary& summary) {
  std::string shown, notShown;
  for (const auto& [name, count] : summary.bannersShown)
    shown += (shown.empty() ? "" : ", ") + ToUtf8(name) + " (" + std::to_string(count) + ")";
  for (const String& page : summary.pages)
    if (!summary.bannersShown.count(page)) notShown += (notShown.empty() ? "" : ", ") + ToUtf8(page);
  std::printf("coverage banners shown: %s\n", shown.empty() ? "none" : shown.c_str());
  std::printf("coverage banners not shown: %s\n", notShown.empty() ? "none" : notShown.c_str());
  std::string procedures;
  for (const auto& entry : control::kScriptEntryPoints) {
    const auto it = summary.entryPointRuns.find(entry.statement);
    procedures += (procedures.empty() ? "" : ", ") + ToUtf8(entry.statement) + " " +
                  std::to_string(it == summary.entryPointRuns.end() ? 0 : it->second);
  }
  std::printf("coverage procedures run: %s\n", procedures.c_str());
  size_t ran = 0;
  for (const auto& [line, runs] : summary.lineRuns) ran += runs > 0;
  const size_t total = summary.lineRuns.size();
  std::printf("coverage %s: %zu of %zu statement lines ran (%.1f%%)\n", summary.scriptShownAs.c_str(), ran, total,
              total ? 100.0 * static_cast<double>(ran) / static_cast<double>(total) : 0.0);
  const std::vector<String> lines = SourceLines(summary.scriptText);
  for (const auto& [line, runs] : summary.lineRuns) {
    const std::string count = runs ? std::to_string(runs) : "#####";
    const std::string text = line >= 1 && static_cast<size_t>(line) <= lines.size() ? ToUtf8(lines[line - 1]) : "";
    std::printf("%9s  %s:%d: %s\n", count.c_str(), summary.scriptShownAs.c_str(), line, text.c_str());
  }
}

struct RunCommand {
  SessionOptions options;
  bool coverage = false;
};

int RunScenario(RunCommand& command) {
  SessionOptions& options = command.options;
  const bool coverage = command.coverage;
  if (const std::string problem = ReadScriptFile(options.scriptPath, options.code); !problem.empty()) {
    return Complain("run", options.scriptPath + ": " + problem, kExitUsage);
  }
  CompleteFolders(options);
  LineReport report;
  SessionSummary summary;
  int status = PlaySession(options, report, "run", &summary);
  if (coverage) PrintCoverage(summary);
  CleanUpFolders(options, "run");
  if (status == 0 && options.strict && (summary.ruleFailures || summary.linksWithoutEffect || summary.pagesMissing)) {
    status = Complain("run",
                      "--strict: " + std::to_string(summary.ruleFailures) + " rule failures, " +
                          std::to_string(summary.linksWithoutEffect) + " presses without effect, " +
                          std::to_string(summary.pagesMissing) + " missing pages",
                      kExitFailed);
  }
  return status;
}

Runner DefineRun(CLI::App& app) {
  auto c = std::make_shared<RunCommand>();
  app.add_option("SCENARIO.vbs", c->options.scriptPath, "the scenario: a script that plays the host")
      ->required();
  AddSessionOptions(app, c->options);
  app.add_flag("--strict", c->options.strict,
               "also print presses without effect and missing pages, and fail (status 1) on them and on rule errors");
  app.add_flag("--coverage", c->coverage,
               "print the banners shown and not, the procedures run and every statement line with its runs");
  app.add_flag("--keep", c->options.keep, "keep the temporary folders and name them on stderr");
  return [c] { return RunScenario(*c); };
}

const SubcommandRegistration registration({
    "run", "run a scenario script against the control with a headless browser",
    "The scenario plays the host: \"control\" is the banner control, \"sim\" the simulator\n"
    "(Click, ClickElement, RightClick, AnswerNext, DescribeDrug, Field, Reachable, SetNow,\n"
    "Visible, Echo, IniRead). Click and ClickElement press only what the page shown holds.\n"
    "The banner folder is DATA-ROOT/Brevalcore; --banners copies a folder's files into it\n"
    "first; --package puts a resource library in the control folder, which the control's\n"
    "start unpacks. --trace-db gives the control its own tracer on FILE: each trace line\n"
    "printed is one record there, for `brevalcore trace report --db FILE`. Data root and\n"
    "control folder default to new temporary folders, removed at the end unless --keep.\n"
    "Each effect is printed on one line: a word, then JSON literals. A rule that fails prints\n"
    "rule-error \"FILE:LINE:COL\" NUMBER \"TEXT\" \"PROCEDURE\" \"RUN BY\".\n"
    "SCENARIO.vbs must be a regular file of at most 16 MB. A failing scenario exits with\n"
    "status 2.\n",
    DefineRun});

}  // namespace
}  // namespace brevalcore::tools
