// brevalcore run SCENARIO.vbs: runs a banner folder without a host. The scenario plays the
// host (see session.h); every observable effect is printed on one line: a word, then JSON
// literals, so that tests compare whole runs.
#include <cstdio>

#include "control/banner_control.h"
#include "platform/automation/convert.h"
#include "tools/brevalcore/command.h"
#include "tools/brevalcore/session.h"

namespace brevalcore::tools {
namespace {

using automation::ToUtf8;

std::string Json(StringView text) {
  std::string out = "\"";
  for (unsigned char c : ToUtf8(text)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

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
};

int RunScenario(const std::vector<std::string>& args);

const Subcommand kRun{
    "run",
    "run a scenario script against the control with a headless browser",
    "usage: brevalcore run SCENARIO.vbs [--data-root DIR] [--control-dir DIR] [--banners DIR]\n"
    "                      [--package BVCRES.DLL] [--trace-db FILE] [--now \"dd/mm/yyyy hh:nn:ss\"]\n"
    "  The scenario plays the host: \"control\" is the banner control, \"sim\" the simulator\n"
    "  (Click, ClickElement, RightClick, AnswerNext, DescribeDrug, Field, Reachable, SetNow,\n"
    "  Visible, Echo, IniRead). The banner folder is DATA-ROOT/Brevalcore; --banners copies a\n"
    "  folder's files into it first; --package puts a resource library in the control folder,\n"
    "  which the control's start unpacks. --trace-db gives the control its own tracer on FILE:\n"
    "  each trace line printed is one record there, for `brevalcore trace report --db FILE`.\n"
    "  Data root and control folder default to new\n"
    "  temporary folders. Each effect is printed on one line; a failing scenario exits with\n"
    "  status 2.\n",
    RunScenario};

const SubcommandRegistration registration(kRun);

int RunScenario(const std::vector<std::string>& args) {
  SessionOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string error;
    if (TakeSessionOption(args, i, options, error)) {
      if (!error.empty()) return UsageError(kRun, error);
    } else if (!args[i].empty() && args[i][0] == '-') {
      return UsageError(kRun, "unknown option " + args[i]);
    } else if (options.scriptPath.empty()) {
      options.scriptPath = args[i];
    } else {
      return UsageError(kRun, "one scenario only");
    }
  }
  if (options.scriptPath.empty()) return UsageError(kRun, "no scenario given");
  if (!ReadScriptFile(options.scriptPath, options.code)) {
    std::fprintf(stderr, "brevalcore run: cannot read %s\n", options.scriptPath.c_str());
    return 2;
  }
  CompleteFolders(options);
  LineReport report;
  return PlaySession(options, report, "run");
}

}  // namespace
}  // namespace brevalcore::tools
