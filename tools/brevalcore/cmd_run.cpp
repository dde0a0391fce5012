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

// Each effect is a word and JSON literals: as a text line "word literal...", or with --json as
// one JSON object per line, {"effect": word, "values": [literal...]}.
bool jsonLines = false;

void Effect(const std::string& word, const std::vector<std::string>& literals) {
  std::string line = jsonLines ? "{\"effect\": " + authoring::JsonString(word) + ", \"values\": [" : word;
  for (size_t i = 0; i < literals.size(); ++i) line += (jsonLines ? (i ? ", " : "") : " ") + literals[i];
  if (jsonLines) line += "]}";
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

class LineReport : public SessionReport {
 public:
  void Navigate(StringView url) override { Effect("navigate", {Json(url)}); }
  void Event(int id, StringView name, std::span<const Variant> question, const String*) override {
    std::vector<std::string> values = {Json(name)};
    // OnClick carries the mouse button and position: numbers, printed bare.
    for (const auto& arg : question)
      values.push_back(id == control::event_id::kOnClick ? ToUtf8(automation::ToString(arg)) : Json(automation::ToString(arg)));
    if (!jsonLines) values.front() = ToUtf8(name);  // the text form names the event bare
    Effect("event", values);
  }
  void MessageBox(int styleCode, StringView title, StringView text) override {
    Effect("msgbox", {std::to_string(styleCode), Json(title), Json(text)});
  }
  void Dialog(StringView name, const std::vector<String>& lines) override {
    std::vector<std::string> values = {Json(name)};
    for (const auto& l : lines) values.push_back(Json(l));
    Effect("dialog", values);
  }
  void ShellOpen(StringView target) override { Effect("shell", {Json(target)}); }
  void Spawn(const std::string& commandLine) override { Effect("spawn", {Json(automation::FromUtf8(commandLine))}); }
  void Shortcut(StringView path, StringView target) override { Effect("shortcut", {Json(path), Json(target)}); }
  void Trace(std::span<const Variant> values) override {
    std::vector<std::string> literals;
    for (const auto& value : values) literals.push_back(Json(automation::ToString(value)));
    Effect("trace", literals);
  }
  void Echo(StringView text) override { Effect("echo", {Json(text)}); }
  void RuleFailed(const RuleFailure& f) override {
    Effect("rule-error", {Json(automation::FromUtf8(f.where)), std::to_string(f.number), Json(f.description),
                          Json(f.procedure), Json(f.entryPoint)});
  }
  void LinkWithoutEffect(StringView href) override { Effect("no-effect", {Json(href)}); }
  void PageMissing(StringView url) override { Effect("missing", {Json(url)}); }
  void Log(StringView message) override { Effect("log", {Json(message)}); }
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
  bool json = false;
};

int RunScenario(RunCommand& command) {
  SessionOptions& options = command.options;
  const bool coverage = command.coverage;
  jsonLines = command.json;
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
  CLI::Option* coverage = app.add_flag(
      "--coverage", c->coverage, "print the banners shown and not, the procedures run and every statement line with its runs");
  app.add_flag("--json", c->json, "print each effect as one JSON object per line: {\"effect\": WORD, \"values\": [...]}")
      ->excludes(coverage);
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
