// brevalcore run SCENARIO.vbs: runs a banner folder without a host. The scenario is a
// VBScript file that plays the host: it calls the control (registered as "control", members
// global) and a simulator "sim" (members global too) that clicks, answers dialogs and fixes the
// time. Every observable effect is printed on one line: a word, then JSON literals.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "control/banner_control.h"
#include "platform/automation/convert.h"
#include "platform/automation/dispatch.h"
#include "platform/browser/headless_browser.h"
#include "platform/script/script_host.h"
#include "platform/ui/forms.h"
#include "platform/ui/scripted_ui.h"
#include "storage/ini_file.h"
#include "storage/packages/update.h"
#include "tools/brevalcore/command.h"

namespace brevalcore::tools {
namespace {

namespace fs = std::filesystem;
using automation::ClassBuilder;
using automation::ClassInfo;
using automation::DispId;
using automation::FromUtf8;
using automation::InvokeKind;
using automation::Ref;
using automation::String;
using automation::StringView;
using automation::ToUtf8;
using automation::Variant;

// ------------------------------------------------------------------ output

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

class Output {
 public:
  void Line(const std::string& word, std::initializer_list<std::string> values) {
    std::string line = word;
    for (const auto& v : values) line += " " + v;
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }
};

Output out;

// ------------------------------------------------------------------ platform fakes

class PrintingShell : public shell::ShellOpener {
 public:
  void Open(StringView target) override { out.Line("shell", {Json(target)}); }
};

class PrintingProcesses : public shell::ProcessService {
 public:
  bool Spawn(const std::string&, const std::vector<std::string>& argv) override {
    std::string line;
    for (const auto& arg : argv) line += (line.empty() ? "" : " ") + arg;
    out.Line("spawn", {Json(FromUtf8(line))});
    return true;
  }
  bool IsProcessRunning(const std::string&) override { return false; }
  int GetPlatformId() override { return 2; }
};

// The tracing component: prints each event.
class PrintingTracer : public automation::Object {
 public:
  String TypeName() const override { return u"Tracing"; }
  DispId GetIdOfName(StringView name) const override { return automation::EqualsNoCase(name, u"Trace") ? 1 : -1; }
  Variant Invoke(DispId id, InvokeKind, std::span<Variant> args) override {
    if (id != 1) automation::Raise(automation::err::kNoSuchMember);
    std::string line = "trace";
    for (const auto& arg : args) line += " " + Json(automation::ToString(arg));
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    return Variant();
  }
};

// "WScript.Shell" for desktop shortcuts: prints what would be saved instead of writing it.
class PrintingShortcut : public automation::DispatchObject<PrintingShortcut> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info = ClassBuilder<PrintingShortcut>(u"WshShortcut")
                                      .Property<&PrintingShortcut::TargetPath, &PrintingShortcut::SetTargetPath>(u"TargetPath")
                                      .Get<&PrintingShortcut::FullName>(u"FullName")
                                      .Method<&PrintingShortcut::Save>(u"Save")
                                      .Build();
    return info;
  }
  explicit PrintingShortcut(String path) : path_(std::move(path)) {}
  String TargetPath() const { return target_; }
  void SetTargetPath(const String& t) { target_ = t; }
  String FullName() const { return path_; }
  void Save() { out.Line("shortcut", {Json(path_), Json(target_)}); }

 private:
  String path_, target_;
};

class PrintingWScriptShell : public automation::DispatchObject<PrintingWScriptShell> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info = ClassBuilder<PrintingWScriptShell>(u"IWshShell3")
                                      .Method<&PrintingWScriptShell::SpecialFolders>(u"SpecialFolders")
                                      .Method<&PrintingWScriptShell::CreateShortcut>(u"CreateShortcut")
                                      .Build();
    return info;
  }
  explicit PrintingWScriptShell(String desktop) : desktop_(std::move(desktop)) {}
  String SpecialFolders(const String& name) { return automation::EqualsNoCase(name, u"Desktop") ? desktop_ : String(); }
  Ref<PrintingShortcut> CreateShortcut(const String& path) { return automation::MakeRef<PrintingShortcut>(path); }

 private:
  String desktop_;
};

// Prints every box and form the control shows; answers come from the scenario's queue.
class RunnerUserInterface : public ui::ScriptedUserInterface {
 public:
  RunnerUserInterface() {
    OnShown([](const Shown& shown) {
      if (shown.kind == u"msgbox") {
        out.Line("msgbox", {std::to_string(shown.styleCode), Json(shown.title), Json(shown.text)});
        return;
      }
      std::string line = "dialog " + Json(shown.kind == u"menu" ? shown.title : shown.kind);
      std::vector<String> lines = shown.lines;
      if (lines.empty() && !shown.text.empty()) {
        size_t begin = 0;
        while (true) {
          const size_t end = shown.text.find(u'\n', begin);
          lines.push_back(shown.text.substr(begin, end == String::npos ? String::npos : end - begin));
          if (end == String::npos) break;
          begin = end + 1;
        }
      }
      for (const auto& l : lines) line += " " + Json(l);
      std::printf("%s\n", line.c_str());
      std::fflush(stdout);
    });
  }
};

// ------------------------------------------------------------------ the scenario's objects

struct Run {
  browser::HeadlessBrowser browser;
  RunnerUserInterface ui;
  shell::FixedClock clock;
  PrintingShell shell;
  PrintingProcesses processes;
  automation::ObjectFactories factories;
  std::map<String, String> descriptions, fields;
  Ref<control::BrevalcoreBanner> control;
};

// Prints the control's events and gives the host's answers the scenario declared.
class HostSink : public automation::EventSink {
 public:
  explicit HostSink(Run& run) : run_(run) {}
  void OnEvent(DispId id, StringView name, std::span<Variant> args) override {
    std::string line = "event " + ToUtf8(name);
    for (const auto& arg : args) {
      if (id == control::event_id::kOnClick) line += " " + ToUtf8(automation::ToString(arg));
      else if (&arg == &args.back() && (id == control::event_id::kOnRequiredDrugDescription ||
                                        id == control::event_id::kOnRequiredField))
        break;  // the host's answer is not part of the question
      else line += " " + Json(automation::ToString(arg));
    }
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    if (id == control::event_id::kOnRequiredDrugDescription) Answer(run_.descriptions, args);
    if (id == control::event_id::kOnRequiredField) Answer(run_.fields, args);
  }

 private:
  static void Answer(const std::map<String, String>& answers, std::span<Variant> args) {
    if (auto it = answers.find(automation::ToString(args[0])); it != answers.end()) args[1] = Variant(it->second);
  }
  Run& run_;
};

class Sim : public automation::DispatchObject<Sim> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info =
        ClassBuilder<Sim>(u"Sim")
            .Method<&Sim::Click>(u"Click", {{u"href"}, {u"text", Variant::Missing()}})
            .Method<&Sim::ClickElement>(u"ClickElement")
            .Method<&Sim::RightClick>(u"RightClick")
            .Method<&Sim::AnswerNext>(u"AnswerNext")
            .Method<&Sim::DescribeDrug>(u"DescribeDrug")
            .Method<&Sim::Field>(u"Field")
            .Method<&Sim::Reachable>(u"Reachable")
            .Method<&Sim::SetNow>(u"SetNow")
            .Method<&Sim::Visible>(u"Visible")
            .Method<&Sim::Echo>(u"Echo")
            .Method<&Sim::IniRead>(u"IniRead")
            .Build();
    return info;
  }
  explicit Sim(Run& run) : run_(run) {}

  void Click(const String& href, const Variant& text) {
    run_.browser.RunMessageLoop();
    const bool anyText = text.IsMissing() || text.IsEmpty();
    const String wanted = anyText ? String() : automation::ToString(text);
    std::shared_ptr<browser::Element> element;
    if (auto document = run_.browser.document()) element = document->FindAnchor(href, anyText ? nullptr : &wanted);
    // A link that is not on the page is pressed all the same: authors test links before pages.
    if (!element) element = browser::HtmlDocument::DetachedAnchor(href, wanted)->FindAnchor(href, nullptr);
    run_.browser.MouseDown(browser::mouse::kLeft, element);
    run_.browser.RunMessageLoop();
  }
  void ClickElement(const String& id) {
    run_.browser.RunMessageLoop();
    std::shared_ptr<browser::Element> element;
    if (auto document = run_.browser.document()) element = document->FindById(id);
    if (!element) automation::Raise(automation::err::kInvalidProcedureCall, u"sim", u"No element with id '" + id + u"' in the page shown");
    run_.browser.MouseDown(browser::mouse::kLeft, element);
    run_.browser.RunMessageLoop();
  }
  void RightClick() {
    run_.browser.RunMessageLoop();
    run_.browser.RightClick();
    run_.browser.RunMessageLoop();
  }
  void AnswerNext(const String& answer) { run_.ui.AnswerNext(answer); }
  void DescribeDrug(const String& aic, const String& text) { run_.descriptions[aic] = text; }
  void Field(const String& name, const String& value) { run_.fields[name] = value; }
  void Reachable(const String& url) { run_.browser.DeclareReachable(url); }
  void SetNow(const String& text) {
    auto date = automation::ParseDate(text);
    if (!date) automation::Raise(automation::err::kTypeMismatch);
    run_.clock.Set(*date);
  }
  void Visible(bool flag) { run_.control->SetContainerVisible(flag); }
  void Echo(const String& text) {
    run_.browser.RunMessageLoop();
    out.Line("echo", {Json(text)});
  }
  String IniRead(const String& section, const String& key) {
    return storage::ReadIni(ToUtf8(run_.control->IniFilePath()), section, key);
  }

 private:
  Run& run_;
};

// The control as the scenario sees it: every member of the control, with the message loop
// let run after each host call, as a host's window would between two calls.
class ControlProxy : public automation::Object {
 public:
  explicit ControlProxy(Run& run) : run_(run) {}
  String TypeName() const override { return run_.control->TypeName(); }
  DispId GetIdOfName(StringView name) const override { return run_.control->GetIdOfName(name); }
  Variant Invoke(DispId id, InvokeKind kind, std::span<Variant> args) override {
    Variant result = run_.control->Invoke(id, kind, args);
    run_.browser.RunMessageLoop();
    return result;
  }

 private:
  Run& run_;
};

// ------------------------------------------------------------------ the command

std::string MakeTempFolder(const char* what) {
  std::string pattern = (fs::temp_directory_path() / (std::string("brevalcore-run-") + what + "-XXXXXX")).string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
  return pattern;
}

// Without a resource library beside the control the banner folder is taken as it stands: the
// author's working folder. With one, the package update runs as in a host.
packages::UpdateOutcome UpdateOrKeep(const packages::UpdateRequest& request, packages::UpdateServices& services) {
  const fs::path library = fs::path(ToUtf8(request.resBannerPath)) / ToUtf8(packages::kLibraryFileName);
  std::error_code ec;
  if (fs::exists(library, ec)) return packages::UpdateFromRES(request, services);
  return packages::UpdateOutcome{true, false, false, 0};
}

int RunScenario(const std::vector<std::string>& args);

const Subcommand kRun{
    "run",
    "run a scenario script against the control with a headless browser",
    "usage: brevalcore run SCENARIO.vbs [--data-root DIR] [--control-dir DIR] [--banners DIR]\n"
    "                      [--now \"dd/mm/yyyy hh:nn:ss\"]\n"
    "  The scenario plays the host: \"control\" is the banner control, \"sim\" the simulator\n"
    "  (Click, ClickElement, RightClick, AnswerNext, DescribeDrug, Field, Reachable, SetNow,\n"
    "  Visible, Echo, IniRead). The banner folder is DATA-ROOT/Brevalcore; --banners copies a\n"
    "  folder's files into it first. Data root and control folder default to new temporary\n"
    "  folders. Each effect is printed on one line; a failing scenario exits with status 2.\n",
    RunScenario};

const SubcommandRegistration registration(kRun);

int ScenarioFailure(const std::string& message) {
  std::fprintf(stderr, "brevalcore run: %s\n", message.c_str());
  return 2;
}

int RunScenario(const std::vector<std::string>& args) {
  std::string scenario, dataRoot, controlDir, banners, now;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& target) {
      if (i + 1 >= args.size()) return false;
      target = args[++i];
      return true;
    };
    if (a == "--data-root") { if (!value(dataRoot)) return UsageError(kRun, "--data-root needs a folder"); }
    else if (a == "--control-dir") { if (!value(controlDir)) return UsageError(kRun, "--control-dir needs a folder"); }
    else if (a == "--banners") { if (!value(banners)) return UsageError(kRun, "--banners needs a folder"); }
    else if (a == "--now") { if (!value(now)) return UsageError(kRun, "--now needs a date and time"); }
    else if (!a.empty() && a[0] == '-') return UsageError(kRun, "unknown option " + a);
    else if (scenario.empty()) scenario = a;
    else return UsageError(kRun, "one scenario only");
  }
  if (scenario.empty()) return UsageError(kRun, "no scenario given");

  std::ifstream in(scenario, std::ios::binary);
  if (!in) return ScenarioFailure("cannot read " + scenario);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string source = bytes.str();
  const String code = automation::IsValidUtf8(source) ? FromUtf8(source) : automation::FromCp1252(source);

  if (dataRoot.empty()) dataRoot = MakeTempFolder("data");
  if (controlDir.empty()) controlDir = MakeTempFolder("control");
  dataRoot = fs::absolute(dataRoot).string();
  controlDir = fs::absolute(controlDir).string();
  std::error_code ec;
  fs::create_directories(dataRoot, ec);
  fs::create_directories(controlDir, ec);
  ::setenv("BREVALCORE_COMMON_APPDATA", dataRoot.c_str(), 1);
  ::setenv("BREVALCORE_CONTROL_DIR", controlDir.c_str(), 1);
  const fs::path bannerFolder = fs::path(dataRoot) / "Brevalcore";
  if (!banners.empty()) {
    fs::create_directories(bannerFolder, ec);
    fs::copy(banners, bannerFolder, fs::copy_options::overwrite_existing | fs::copy_options::recursive, ec);
    if (ec) return ScenarioFailure("cannot copy " + banners + ": " + ec.message());
  }

  Run run;
  run.clock.Set(shell::SystemClock::Instance().Now());
  if (!now.empty()) {
    auto date = automation::ParseDate(FromUtf8(now));
    if (!date) return UsageError(kRun, "--now: not a date: " + now);
    run.clock.Set(*date);
  }
  run.factories = automation::ObjectFactories::Global();
  run.factories.Register(u"BVCTracing.Tracing", [] { return Ref<automation::Object>(new PrintingTracer()); });
  const String desktop = FromUtf8((fs::path(dataRoot) / "Desktop").string());
  run.factories.Register(u"WScript.Shell", [desktop] { return Ref<automation::Object>(new PrintingWScriptShell(desktop)); });
  run.browser.OnNavigate([](StringView url) { out.Line("navigate", {Json(url)}); });

  control::ControlServices services;
  services.browser = &run.browser;
  services.ui = &run.ui;
  services.clock = &run.clock;
  services.processes = &run.processes;
  services.shell = &run.shell;
  services.factories = &run.factories;
  services.controlFolder = controlDir;
  services.packageUpdate = UpdateOrKeep;
  run.control = automation::MakeRef<control::BrevalcoreBanner>(std::move(services));
  HostSink sink(run);
  run.control->Connect(&sink);

  script::ScriptServices scriptServices;
  scriptServices.ui = &run.ui;
  scriptServices.factories = &run.factories;
  auto engine = script::CreateScriptHost(scriptServices);
  try {
    engine->SetLanguage(u"VBScript");
    engine->AddObject(u"control", Ref<automation::Object>(new ControlProxy(run)), true);
    engine->AddObject(u"sim", Ref<automation::Object>(new Sim(run)), true);
    engine->AddCode(code);
    run.browser.RunMessageLoop();
  } catch (const script::ScriptError& e) {
    std::string where = scenario;
    if (e.line() > 0) where += "(" + std::to_string(e.line()) + "," + std::to_string(e.column()) + ")";
    run.control->Disconnect(&sink);
    return ScenarioFailure(where + ": error " + std::to_string(e.number()) + ": " + ToUtf8(e.description()));
  } catch (const automation::AutomationError& e) {
    run.control->Disconnect(&sink);
    return ScenarioFailure(scenario + ": error " + std::to_string(e.number()) + ": " + ToUtf8(e.description()));
  }
  run.control->Disconnect(&sink);
  return 0;
}

}  // namespace
}  // namespace brevalcore::tools
