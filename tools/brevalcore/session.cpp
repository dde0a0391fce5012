// The session player behind `brevalcore run` and `brevalcore demo`: the control with a
// headless browser, a scripted user interface and printing stand-ins for the shell, the
// processes, the tracing component and "WScript.Shell", all reporting to a SessionReport.
#include "tools/brevalcore/session.h"

#include <stdlib.h>

#include <chrono>
#include <cstdio>
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
#include "rules/tracing/tracer.h"
#include "storage/ini_file.h"
#include "storage/name_lookup.h"
#include "storage/packages/update.h"

namespace brevalcore::tools {
namespace {

namespace fs = std::filesystem;
using automation::ClassBuilder;
using automation::ClassInfo;
using automation::DispId;
using automation::FromUtf8;
using automation::InvokeKind;
using automation::Ref;
using automation::ToUtf8;

constexpr std::chrono::minutes kSessionTimeout{5};

// ------------------------------------------------------------------ platform stand-ins

class ReportingShell : public shell::ShellOpener {
 public:
  explicit ReportingShell(SessionReport& report) : report_(report) {}
  void Open(StringView target) override { report_.ShellOpen(target); }

 private:
  SessionReport& report_;
};

class ReportingProcesses : public shell::ProcessService {
 public:
  explicit ReportingProcesses(SessionReport& report) : report_(report) {}
  bool Spawn(const std::string&, const std::vector<std::string>& argv) override {
    std::string line;
    for (const auto& arg : argv) line += (line.empty() ? "" : " ") + arg;
    report_.Spawn(line);
    return true;
  }
  bool IsProcessRunning(const std::string&) override { return false; }
  int GetPlatformId() override { return 2; }

 private:
  SessionReport& report_;
};

// The tracing component: reports each event (its eight values), and hands it to the control's
// own tracer when the session writes a trace database, so each reported trace is one record.
class ReportingTracer : public automation::Object {
 public:
  ReportingTracer(SessionReport& report, Ref<automation::Object> tracer) : report_(report), tracer_(std::move(tracer)) {}
  String TypeName() const override { return u"Tracing"; }
  DispId GetIdOfName(StringView name) const override {
    if (automation::EqualsNoCase(name, u"Trace")) return kTrace;
    return automation::EqualsNoCase(name, u"TraceRecord") ? kTraceRecord : automation::kDispIdUnknown;
  }
  Variant Invoke(DispId id, InvokeKind kind, std::span<Variant> args) override {
    if (id != kTrace && id != kTraceRecord) automation::Raise(automation::err::kNoSuchMember);
    report_.Trace(args.first(std::min<size_t>(args.size(), kTraceValues)));
    if (tracer_) tracer_->Invoke(tracer_->GetIdOfName(id == kTrace ? u"Trace" : u"TraceRecord"), kind, args);
    return Variant();
  }

 private:
  static constexpr DispId kTrace = 1, kTraceRecord = 2;
  static constexpr size_t kTraceValues = 8;
  SessionReport& report_;
  Ref<automation::Object> tracer_;
};

// "WScript.Shell" for desktop shortcuts: reports what would be saved instead of writing it.
class ReportingShortcut : public automation::DispatchObject<ReportingShortcut> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info = ClassBuilder<ReportingShortcut>(u"WshShortcut")
                                      .Property<&ReportingShortcut::TargetPath, &ReportingShortcut::SetTargetPath>(u"TargetPath")
                                      .Get<&ReportingShortcut::FullName>(u"FullName")
                                      .Method<&ReportingShortcut::Save>(u"Save")
                                      .Build();
    return info;
  }
  ReportingShortcut(SessionReport& report, String path) : report_(report), path_(std::move(path)) {}
  String TargetPath() const { return target_; }
  void SetTargetPath(const String& t) { target_ = t; }
  String FullName() const { return path_; }
  void Save() { report_.Shortcut(path_, target_); }

 private:
  SessionReport& report_;
  String path_, target_;
};

class ReportingWScriptShell : public automation::DispatchObject<ReportingWScriptShell> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info = ClassBuilder<ReportingWScriptShell>(u"IWshShell3")
                                      .Method<&ReportingWScriptShell::SpecialFolders>(u"SpecialFolders")
                                      .Method<&ReportingWScriptShell::CreateShortcut>(u"CreateShortcut")
                                      .Build();
    return info;
  }
  ReportingWScriptShell(SessionReport& report, String desktop) : report_(report), desktop_(std::move(desktop)) {}
  String SpecialFolders(const String& name) { return automation::EqualsNoCase(name, u"Desktop") ? desktop_ : String(); }
  Ref<ReportingShortcut> CreateShortcut(const String& path) { return automation::MakeRef<ReportingShortcut>(report_, path); }

 private:
  SessionReport& report_;
  String desktop_;
};

std::vector<String> SplitLines(const String& text) {
  std::vector<String> lines;
  size_t begin = 0;
  while (true) {
    const size_t end = text.find(u'\n', begin);
    lines.push_back(text.substr(begin, end == String::npos ? String::npos : end - begin));
    if (end == String::npos) return lines;
    begin = end + 1;
  }
}

// Reports every box and form the control shows; answers come from the session's queue.
class SessionUserInterface : public ui::ScriptedUserInterface {
 public:
  explicit SessionUserInterface(SessionReport& report) {
    OnShown([&report](const Shown& shown) {
      if (shown.kind == u"msgbox") return report.MessageBox(shown.styleCode, shown.title, shown.text);
      const std::vector<String> lines = shown.lines.empty() && !shown.text.empty() ? SplitLines(shown.text) : shown.lines;
      report.Dialog(shown.kind == u"menu" ? shown.title : shown.kind, lines);
    });
  }
};

String PageTitle(const browser::HtmlNode& node) {
  if (node.tag == u"title") return browser::InnerTextOf(node);
  for (const auto& child : node.children)
    if (String title = PageTitle(*child); !title.empty()) return title;
  return String();
}

// ------------------------------------------------------------------ the session's objects

struct Session {
  explicit Session(SessionReport& r) : report(r), ui(r), shell(r), processes(r) {}

  SessionReport& report;
  browser::HeadlessBrowser browser;
  SessionUserInterface ui;
  shell::FixedClock clock;
  ReportingShell shell;
  ReportingProcesses processes;
  automation::ObjectFactories factories;
  std::map<String, String> descriptions, fields;
  Ref<control::BrevalcoreBanner> control;
  String banner;        // the choice last reported
  String shownUrl;      // the page last reported

  // Lets the message loop run, as a host's window does between two calls, then reports what
  // changed in the banner choice and the page shown.
  void Settle() {
    browser.RunMessageLoop();
    if (!control) return;
    if (const String now = control->context()->Banner(); now != banner) {
      report.BannerChanged(banner, now);
      banner = now;
    }
    if (const auto& document = browser.document(); document && document->url() != shownUrl) {
      shownUrl = document->url();
      report.PageShown(shownUrl, document->root() ? PageTitle(*document->root()) : String());
    }
  }
};

// Reports the control's events and gives the host's answers the session declared.
class HostSink : public automation::EventSink {
 public:
  explicit HostSink(Session& session) : session_(session) {}
  void OnEvent(DispId id, StringView name, std::span<Variant> args) override {
    const bool asksText =
        id == control::event_id::kOnRequiredDrugDescription || id == control::event_id::kOnRequiredField;
    if (!asksText || args.size() < 2) return session_.report.Event(id, name, args, nullptr);
    Answer(id == control::event_id::kOnRequiredDrugDescription ? session_.descriptions : session_.fields, args);
    const String answer = automation::ToString(args.back());
    session_.report.Event(id, name, args.first(args.size() - 1), &answer);
  }

 private:
  static void Answer(const std::map<String, String>& answers, std::span<Variant> args) {
    if (auto it = answers.find(automation::ToString(args[0])); it != answers.end()) args[1] = Variant(it->second);
  }
  Session& session_;
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
  explicit Sim(Session& session) : s_(session) {}

  void Click(const String& href, const Variant& text) {
    s_.Settle();
    const bool anyText = text.IsMissing() || text.IsEmpty();
    const String wanted = anyText ? String() : automation::ToString(text);
    std::shared_ptr<browser::Element> element;
    if (auto document = s_.browser.document()) element = document->FindAnchor(href, anyText ? nullptr : &wanted);
    // A link that is not on the page is pressed all the same: authors test links before pages.
    if (!element) element = browser::HtmlDocument::DetachedAnchor(href, wanted)->FindAnchor(href, nullptr);
    s_.browser.MouseDown(browser::mouse::kLeft, element);
    s_.Settle();
  }
  void ClickElement(const String& id) {
    s_.Settle();
    std::shared_ptr<browser::Element> element;
    if (auto document = s_.browser.document()) element = document->FindById(id);
    if (!element) automation::Raise(automation::err::kInvalidProcedureCall, u"sim", u"No element with id '" + id + u"' in the page shown");
    s_.browser.MouseDown(browser::mouse::kLeft, element);
    s_.Settle();
  }
  void RightClick() {
    s_.Settle();
    s_.browser.RightClick();
    s_.Settle();
  }
  void AnswerNext(const String& answer) { s_.ui.AnswerNext(answer); }
  void DescribeDrug(const String& aic, const String& text) { s_.descriptions[aic] = text; }
  void Field(const String& name, const String& value) { s_.fields[name] = value; }
  void Reachable(const String& url) { s_.browser.DeclareReachable(url); }
  void SetNow(const String& text) {
    auto date = automation::ParseDate(text);
    if (!date) automation::Raise(automation::err::kTypeMismatch);
    s_.clock.Set(*date);
  }
  void Visible(bool flag) { s_.control->SetContainerVisible(flag); }
  void Echo(const String& text) {
    s_.Settle();
    s_.report.Echo(text);
  }
  String IniRead(const String& section, const String& key) {
    return storage::ReadIni(ToUtf8(s_.control->IniFilePath()), section, key);
  }

 private:
  Session& s_;
};

SessionReport::CallKind KindOf(const automation::MemberInfo& member, InvokeKind kind) {
  if ((kind & automation::kInvokeMethod) && member.method.thunk) return SessionReport::CallKind::kMethod;
  if (kind & (automation::kInvokeMethod | automation::kInvokeGet)) return SessionReport::CallKind::kGet;
  return SessionReport::CallKind::kPut;
}

// The control as the session sees it: every member of the control, reported, with the
// message loop let run after each host call.
class ControlProxy : public automation::Object {
 public:
  explicit ControlProxy(Session& session) : s_(session) {}
  String TypeName() const override { return s_.control->TypeName(); }
  DispId GetIdOfName(StringView name) const override { return s_.control->GetIdOfName(name); }
  Variant Invoke(DispId id, InvokeKind kind, std::span<Variant> args) override {
    if (const auto* member = control::BrevalcoreBanner::Class().Member(id)) s_.report.HostCall(member->name, KindOf(*member, kind), args);
    Variant result = s_.control->Invoke(id, kind, args);
    s_.Settle();
    return result;
  }

 private:
  Session& s_;
};

// Without a resource library beside the control the banner folder is taken as it stands: the
// author's working folder. With one, the package update runs as in a host.
packages::UpdateOutcome UpdateOrKeep(SessionReport& report, const packages::UpdateRequest& request,
                                     packages::UpdateServices& services) {
  const storage::Folder libraryFolder(ToUtf8(request.resBannerPath), storage::Folder::Link::kFollow);
  if (storage::LookUpName(libraryFolder, packages::kLibraryFileName).status == storage::NameLookup::Status::kMissing)
    return packages::UpdateOutcome{true, false, false, 0};
  const packages::UpdateOutcome outcome = packages::UpdateFromRES(request, services);
  report.PackageUpdated(outcome.usable, outcome.unpacked, outcome.filesWritten);
  return outcome;
}

int Failure(const char* commandName, const std::string& message) {
  std::fprintf(stderr, "brevalcore %s: %s\n", commandName, message.c_str());
  return 2;
}

// Points the control at the session's folders and puts the banners and the package in place.
std::string PrepareFolders(const SessionOptions& options) {
  std::error_code ec;
  fs::create_directories(options.dataRoot, ec);
  fs::create_directories(options.controlDir, ec);
  ::setenv("BREVALCORE_COMMON_APPDATA", options.dataRoot.c_str(), 1);
  ::setenv("BREVALCORE_CONTROL_DIR", options.controlDir.c_str(), 1);
  if (!options.banners.empty()) {
    const fs::path bannerFolder = fs::path(options.dataRoot) / "Brevalcore";
    fs::create_directories(bannerFolder, ec);
    fs::copy(options.banners, bannerFolder, fs::copy_options::overwrite_existing | fs::copy_options::recursive, ec);
    if (ec) return "cannot copy " + options.banners + ": " + ec.message();
  }
  if (!options.package.empty()) {
    fs::copy_file(options.package, fs::path(options.controlDir) / ToUtf8(packages::kLibraryFileName),
                  fs::copy_options::overwrite_existing, ec);
    if (ec) return "cannot copy " + options.package + ": " + ec.message();
  }
  return {};
}

}  // namespace

bool TakeSessionOption(const std::vector<std::string>& args, size_t& i, SessionOptions& options, std::string& error) {
  static const std::map<std::string, std::string SessionOptions::*> kFolders = {
      {"--data-root", &SessionOptions::dataRoot},
      {"--control-dir", &SessionOptions::controlDir},
      {"--banners", &SessionOptions::banners},
      {"--package", &SessionOptions::package},
      {"--trace-db", &SessionOptions::traceDb}};
  const std::string& option = args[i];
  const auto folder = kFolders.find(option);
  if (folder == kFolders.end() && option != "--now") return false;
  if (i + 1 >= args.size()) {
    error = option + " needs a value";
    return true;
  }
  const std::string& value = args[++i];
  if (folder != kFolders.end()) {
    options.*(folder->second) = value;
  } else if (auto date = automation::ParseDate(FromUtf8(value))) {
    options.now = *date;
  } else {
    error = "--now: not a date: " + value;
  }
  return true;
}

void CompleteFolders(SessionOptions& options) {
  if (options.dataRoot.empty()) options.dataRoot = MakeTempFolder("data");
  if (options.controlDir.empty()) options.controlDir = MakeTempFolder("control");
  options.dataRoot = fs::absolute(options.dataRoot).string();
  options.controlDir = fs::absolute(options.controlDir).string();
}

bool ReadScriptFile(const std::string& path, String& code) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string source = bytes.str();
  code = automation::IsValidUtf8(source) ? FromUtf8(source) : automation::FromCp1252(source);
  return true;
}

std::string MakeTempFolder(const std::string& what) {
  std::string pattern = (fs::temp_directory_path() / ("brevalcore-" + what + "-XXXXXX")).string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
  return pattern;
}

int PlaySession(const SessionOptions& options, SessionReport& report, const char* commandName) {
  if (std::string problem = PrepareFolders(options); !problem.empty()) return Failure(commandName, problem);

  Session session(report);
  session.clock.Set(options.now ? *options.now : shell::SystemClock::Instance().Now());
  session.factories = automation::ObjectFactories::Global();
  if (!options.traceDb.empty()) {
    std::string error;
    if (!tracing::TraceDatabase::Open(options.traceDb, /*create=*/true, &error)) return Failure(commandName, error);
  }
  session.factories.Register(u"BVCTracing.Tracing", [&report, &session, traceDb = options.traceDb] {
    Ref<automation::Object> tracer;
    if (auto db = traceDb.empty() ? nullptr : tracing::TraceDatabase::Open(traceDb))
      tracer = automation::MakeRef<tracing::Tracer>(std::move(db), session.clock);
    return Ref<automation::Object>(new ReportingTracer(report, tracer));
  });
  const String desktop = FromUtf8((fs::path(options.dataRoot) / "Desktop").string());
  session.factories.Register(u"WScript.Shell", [&report, desktop] {
    return Ref<automation::Object>(new ReportingWScriptShell(report, desktop));
  });
  session.browser.OnNavigate([&report](StringView url) { report.Navigate(url); });

  control::ControlServices services;
  services.browser = &session.browser;
  services.ui = &session.ui;
  services.clock = &session.clock;
  services.processes = &session.processes;
  services.shell = &session.shell;
  services.factories = &session.factories;
  services.controlFolder = options.controlDir;
  services.packageUpdate = [&report](const packages::UpdateRequest& request, packages::UpdateServices& update) {
    return UpdateOrKeep(report, request, update);
  };
  session.control = automation::MakeRef<control::BrevalcoreBanner>(std::move(services));
  HostSink sink(session);
  session.control->Connect(&sink);

  script::ScriptServices scriptServices;
  scriptServices.ui = &session.ui;
  scriptServices.factories = &session.factories;
  // The session waits on every control call, and a rule script that runs away takes the
  // control's own 10 seconds each time: the session itself gets minutes, not seconds.
  scriptServices.timeout = kSessionTimeout;
  auto engine = script::CreateScriptHost(scriptServices);
  int status = 0;
  try {
    engine->SetLanguage(u"VBScript");
    engine->AddObject(u"control", Ref<automation::Object>(new ControlProxy(session)), true);
    engine->AddObject(u"sim", Ref<automation::Object>(new Sim(session)), true);
    engine->AddCode(options.code);
    session.Settle();
  } catch (const script::ScriptError& e) {
    std::string where = options.scriptPath;
    if (e.line() > 0) where += "(" + std::to_string(e.line()) + "," + std::to_string(e.column()) + ")";
    status = Failure(commandName, where + ": error " + std::to_string(e.number()) + ": " + ToUtf8(e.description()));
  } catch (const automation::AutomationError& e) {
    status = Failure(commandName, options.scriptPath + ": error " + std::to_string(e.number()) + ": " +
                                      ToUtf8(e.description()));
  }
  if (status == 0) report.Finished(session.control->IniFilePath());
  session.control->Disconnect(&sink);
  return status;
}

}  // namespace brevalcore::tools
