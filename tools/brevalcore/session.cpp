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

#include <CLI/CLI.hpp>

#include "control/addresses.h"
#include "control/banner_control.h"
#include "control/rule_script.h"
#include "platform/automation/convert.h"
#include "platform/automation/diagnostics.h"
#include "platform/automation/dispatch.h"
#include "platform/browser/headless_browser.h"
#include "platform/script/parser/parser.h"
#include "platform/script/script_host.h"
#include "platform/ui/forms.h"
#include "platform/ui/scripted_ui.h"
#include "rules/tracing/tracer.h"
#include "storage/ini_file.h"
#include "storage/name_lookup.h"
#include "storage/packages/update.h"
#include "tools/authoring/input_file.h"

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

// ------------------------------------------------------------------ what the session observes

// Passes every effect on to the real report and counts those a link press can have, so that a
// press with none can be told apart; notes the banner pages shown and the pages missing.
class CountingReport : public SessionReport {
 public:
  CountingReport(SessionReport& inner, std::string bannerFolder, bool strict, SessionSummary& summary)
      : inner_(inner), bannerFolder_(std::move(bannerFolder)), strict_(strict), summary_(summary) {}

  uint64_t effects() const { return effects_; }

  void HostCall(StringView member, CallKind kind, std::span<const Variant> args) override { inner_.HostCall(member, kind, args); }
  void BannerChanged(const String& before, const String& after) override { inner_.BannerChanged(before, after); }
  void PackageUpdated(bool usable, bool unpacked, int files) override { inner_.PackageUpdated(usable, unpacked, files); }
  void Finished(StringView iniFilePath) override { inner_.Finished(iniFilePath); }
  void PageShown(StringView url, StringView title) override { inner_.PageShown(url, title); }
  void RuleFailed(const RuleFailure& failure) override {
    ++summary_.ruleFailures;
    inner_.RuleFailed(failure);
  }
  void LinkWithoutEffect(StringView href) override {
    ++summary_.linksWithoutEffect;
    if (strict_) inner_.LinkWithoutEffect(href);
  }
  void PageMissing(StringView url) override {
    ++summary_.pagesMissing;
    if (strict_) inner_.PageMissing(url);
  }
  void Log(StringView message) override { inner_.Log(message); }

  void Navigate(StringView url) override {
    ++effects_;
    inner_.Navigate(url);
    const std::string path = browser::FilePathOfUrl(url);
    if (path.empty()) return;
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return PageMissing(url);
    const fs::path file(path);
    if (file.parent_path() == fs::path(bannerFolder_) && file.extension() == ".html" &&
        file.filename() != ToUtf8(control::kOfflinePageFile))
      ++summary_.bannersShown[automation::FromUtf8(file.stem().string())];
  }
  void Event(int id, StringView name, std::span<const Variant> question, const String* answer) override {
    if (id != control::event_id::kOnClick) ++effects_;
    inner_.Event(id, name, question, answer);
  }
  void MessageBox(int styleCode, StringView title, StringView text) override {
    ++effects_;
    inner_.MessageBox(styleCode, title, text);
  }
  void Dialog(StringView name, const std::vector<String>& lines) override {
    ++effects_;
    inner_.Dialog(name, lines);
  }
  void ShellOpen(StringView target) override {
    ++effects_;
    inner_.ShellOpen(target);
  }
  void Spawn(const std::string& commandLine) override {
    ++effects_;
    inner_.Spawn(commandLine);
  }
  void Shortcut(StringView path, StringView target) override {
    ++effects_;
    inner_.Shortcut(path, target);
  }
  void Trace(std::span<const Variant> values) override {
    ++effects_;
    inner_.Trace(values);
  }
  void Echo(StringView text) override { inner_.Echo(text); }

 private:
  SessionReport& inner_;
  std::string bannerFolder_;
  bool strict_;
  SessionSummary& summary_;
  uint64_t effects_ = 0;
};

// Where the rule script's procedures begin and end, to name the one an error happened in.
struct ProcedureSpan {
  String name;
  int first = 0, last = 0;
};

// The line of the last statement in `block`, nested blocks included.
int LastLine(const script::ast::Block& block) {
  namespace ast = script::ast;
  int last = 0;
  for (const auto& s : block) {
    last = std::max(last, s->line);
    switch (s->kind) {
      case ast::StmtKind::If:
        for (const auto& b : static_cast<const ast::IfStmt&>(*s).branches) last = std::max(last, LastLine(b.body));
        break;
      case ast::StmtKind::Select:
        for (const auto& c : static_cast<const ast::SelectStmt&>(*s).cases) last = std::max(last, LastLine(c.body));
        break;
      case ast::StmtKind::For: last = std::max(last, LastLine(static_cast<const ast::ForStmt&>(*s).body)); break;
      case ast::StmtKind::ForEach: last = std::max(last, LastLine(static_cast<const ast::ForEachStmt&>(*s).body)); break;
      case ast::StmtKind::Do: last = std::max(last, LastLine(static_cast<const ast::DoStmt&>(*s).body)); break;
      case ast::StmtKind::With: last = std::max(last, LastLine(static_cast<const ast::WithStmt&>(*s).body)); break;
      default: break;
    }
  }
  return last;
}

// What the control does with its rule script, seen from the engine's side: which procedures
// it runs, which fail and where, and how often each line ran (kept across the engine resets
// of each start).
class RuleObserver {
 public:
  RuleObserver(CountingReport& report, SessionSummary& summary, std::string scriptShownAs)
      : report_(report), summary_(summary), scriptShownAs_(std::move(scriptShownAs)) {}

  void CodeAdded(StringView code) {
    summary_.scriptText = String(code);
    procedures_.clear();
    script::parse::ParseResult parsed = script::parse::ParseProgram(code);
    if (!parsed.program) return;
    for (const auto& p : parsed.program->procs)
      procedures_.push_back({p->name, p->line, std::max(p->line, LastLine(p->body))});
  }

  void Ran(StringView statement) { ++summary_.entryPointRuns[String(statement)]; }

  // The engine failed in AddCode (empty `statement`) or in a statement the control ran.
  void Failed(const script::ScriptError& e, StringView statement) {
    SessionReport::RuleFailure failure;
    const bool missing = !statement.empty() && !Defines(statement);
    const int line = missing ? 0 : e.line(), column = missing ? 0 : e.column();
    failure.where = scriptShownAs_ + ":" + std::to_string(line) + ":" + std::to_string(column);
    failure.number = e.number();
    failure.description = missing ? u"the script defines no " + String(statement) : e.description();
    failure.procedure = missing ? String() : ProcedureAt(line);
    failure.entryPoint = statement.empty() ? String(u"(start-up)") : String(statement);
    report_.RuleFailed(failure);
  }

  void Harvest(const std::vector<script::ScriptHost::LineRuns>& lines) {
    for (const auto& l : lines) summary_.lineRuns[l.line] += l.runs;
  }

 private:
  bool Defines(StringView name) const {
    return std::any_of(procedures_.begin(), procedures_.end(),
                       [&](const ProcedureSpan& p) { return automation::EqualsNoCase(p.name, name); });
  }
  String ProcedureAt(int line) const {
    for (const auto& p : procedures_)
      if (line >= p.first && line <= p.last) return p.name;
    return {};
  }

  CountingReport& report_;
  SessionSummary& summary_;
  std::string scriptShownAs_;
  std::vector<ProcedureSpan> procedures_;
};

// The control's script engine, observed: every call goes to the real engine.
class ObservedScriptHost : public script::ScriptHost {
 public:
  ObservedScriptHost(std::unique_ptr<script::ScriptHost> inner, RuleObserver& observer, ObservedScriptHost*& live)
      : inner_(std::move(inner)), observer_(observer), live_(live) {
    live_ = this;
  }
  ~ObservedScriptHost() override {
    observer_.Harvest(inner_->LineCoverage());
    if (live_ == this) live_ = nullptr;
  }

  void SetLanguage(StringView language) override { inner_->SetLanguage(language); }
  void Reset() override {
    observer_.Harvest(inner_->LineCoverage());
    inner_->Reset();
  }
  void AddObject(StringView name, Ref<automation::Object> object, bool addMembers) override {
    inner_->AddObject(name, std::move(object), addMembers);
  }
  void AddCode(StringView code) override {
    observer_.CodeAdded(code);
    try {
      inner_->AddCode(code);
    } catch (const script::ScriptError& e) {
      observer_.Failed(e, {});
      throw;
    }
  }
  void ExecuteStatement(StringView statement) override {
    observer_.Ran(statement);
    try {
      inner_->ExecuteStatement(statement);
    } catch (const script::ScriptError& e) {
      observer_.Failed(e, statement);
      throw;
    }
  }
  Variant Eval(StringView expression) override { return inner_->Eval(expression); }
  void SetTimeout(std::chrono::milliseconds timeout) override { inner_->SetTimeout(timeout); }
  std::vector<LineRuns> LineCoverage() const override { return inner_->LineCoverage(); }

 private:
  std::unique_ptr<script::ScriptHost> inner_;
  RuleObserver& observer_;
  ObservedScriptHost*& live_;
};

// ------------------------------------------------------------------ the session's objects

struct Session {
  Session(CountingReport& r, bool strictRun) : report(r), ui(r), shell(r), processes(r), strict(strictRun) {}

  CountingReport& report;
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
  bool strict;

  // The doctor's settings file as it stands, to tell whether a press changed it.
  std::string SettingsSnapshot() const {
    if (!control) return {};
    return authoring::ReadInputFile(ToUtf8(control->IniFilePath()), authoring::kMaxProfileFileBytes).bytes;
  }

  // Presses `element` and reports a press that had no effect at all.
  void Press(const std::shared_ptr<browser::Element>& element, StringView what) {
    const uint64_t effects = report.effects();
    const std::string settings = SettingsSnapshot();
    browser.MouseDown(browser::mouse::kLeft, element);
    Settle();
    if (report.effects() == effects && SettingsSnapshot() == settings) report.LinkWithoutEffect(what);
  }

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

// The first element of any kind (an image, an input) whose href is `href` and, when `text` is
// given, whose text is `text`; null when there is none.
std::shared_ptr<browser::Element> FindLinkElement(browser::HtmlDocument& document, StringView href, const String* text) {
  std::vector<browser::HtmlNode*> stack{document.root()};
  while (!stack.empty()) {
    browser::HtmlNode* node = stack.back();
    stack.pop_back();
    const String* value = node->Attribute(u"href");
    if (!node->tag.empty() && value && *value == href) {
      auto element = document.Wrap(node);
      if (!text || element->InnerText() == *text) return element;
    }
    for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) stack.push_back(it->get());
  }
  return nullptr;
}

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
    const auto document = s_.browser.document();
    if (document) element = document->FindAnchor(href, anyText ? nullptr : &wanted);
    if (!element && document) element = FindLinkElement(*document, href, anyText ? nullptr : &wanted);
    // A doctor can only press what the page shows.
    if (!element)
      automation::Raise(automation::err::kInvalidProcedureCall, u"sim",
                        u"No link '" + href + (anyText ? String() : u"' with the text '" + wanted) +
                            u"' on the page shown (" + (document ? document->url() : String(u"no page")) + u")");
    s_.Press(element, href);
  }
  void ClickElement(const String& id) {
    s_.Settle();
    std::shared_ptr<browser::Element> element;
    if (auto document = s_.browser.document()) element = document->FindById(id);
    if (!element) automation::Raise(automation::err::kInvalidProcedureCall, u"sim", u"No element with id '" + id + u"' in the page shown");
    s_.Press(element, u"#" + id);
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
    if (auto refused = authoring::CheckInputFile(options.package, authoring::kMaxLibraryFileBytes))
      return options.package + ": " + *refused;
    fs::copy_file(options.package, fs::path(options.controlDir) / ToUtf8(packages::kLibraryFileName),
                  fs::copy_options::overwrite_existing, ec);
    if (ec) return "cannot copy " + options.package + ": " + ec.message();
  }
  return {};
}

}  // namespace

void AddSessionOptions(CLI::App& app, SessionOptions& options) {
  app.add_option("--data-root", options.dataRoot, "the machine's data folder; the banner folder is DIR/Brevalcore")
      ->type_name("DIR");
  app.add_option("--control-dir", options.controlDir, "the control's own folder (doctors' settings, BVCRES.DLL)")
      ->type_name("DIR");
  app.add_option("--banners", options.banners, "copy this folder's files into the banner folder first")
      ->type_name("DIR");
  app.add_option("--package", options.package, "put this resource library in the control folder")
      ->type_name("FILE");
  app.add_option("--trace-db", options.traceDb, "give the control its own tracer writing to FILE")
      ->type_name("FILE");
  app.add_option_function<std::string>(
         "--now",
         [&options](const std::string& text) {
           const auto date = automation::ParseDate(FromUtf8(text));
           if (!date) throw CLI::ValidationError("--now", "not a date: " + text);
           options.now = *date;
         },
         "the session's clock, \"dd/mm/yyyy hh:nn:ss\" (the real time by default)")
      ->type_name("DATE");
}

void CompleteFolders(SessionOptions& options) {
  if (options.dataRoot.empty()) options.temporaryFolders.push_back(options.dataRoot = MakeTempFolder("data"));
  if (options.controlDir.empty()) options.temporaryFolders.push_back(options.controlDir = MakeTempFolder("control"));
  options.dataRoot = fs::absolute(options.dataRoot).string();
  options.controlDir = fs::absolute(options.controlDir).string();
}

void CleanUpFolders(const SessionOptions& options, const char* commandName) {
  for (const std::string& folder : options.temporaryFolders) {
    if (options.keep) {
      std::fprintf(stderr, "brevalcore %s: kept %s\n", commandName, folder.c_str());
    } else {
      std::error_code ignored;
      fs::remove_all(folder, ignored);
    }
  }
}

std::string ReadScriptFile(const std::string& path, String& code) {
  const authoring::InputFile file = authoring::ReadInputFile(path, authoring::kMaxTextFileBytes);
  if (file.problem != authoring::InputProblem::None) return file.message;
  std::string_view source = file.bytes;
  if (source.starts_with("\xEF\xBB\xBF")) source.remove_prefix(3);
  code = automation::IsValidUtf8(source) ? FromUtf8(source) : automation::FromCp1252(source);
  return {};
}

std::string MakeTempFolder(const std::string& what) {
  std::string pattern = (fs::temp_directory_path() / ("brevalcore-" + what + "-XXXXXX")).string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
  return pattern;
}

namespace {

// How rule errors name banner.script: the file in the author's folder when the session
// copied one, else the file in the banner folder.
std::string ScriptShownAs(const SessionOptions& options) {
  if (!options.banners.empty()) return (fs::path(options.banners) / control::kScriptFileName).string();
  return (fs::path(options.dataRoot) / "Brevalcore" / control::kScriptFileName).string();
}

// The banner pages of the banner folder, for the coverage report's "not shown".
std::vector<String> BannerPages(const std::string& bannerFolder) {
  std::vector<String> pages;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(bannerFolder, ec)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file(ec) && name.ends_with(".html") && name != ToUtf8(control::kOfflinePageFile))
      pages.push_back(FromUtf8(name.substr(0, name.size() - 5)));
  }
  std::sort(pages.begin(), pages.end());
  return pages;
}

}  // namespace

int PlaySession(const SessionOptions& options, SessionReport& outerReport, const char* commandName,
                SessionSummary* summaryOut) {
  if (std::string problem = PrepareFolders(options); !problem.empty()) return Failure(commandName, problem);

  SessionSummary summary;
  summary.scriptShownAs = ScriptShownAs(options);
  const std::string bannerFolder = (fs::path(options.dataRoot) / "Brevalcore").string();
  CountingReport report(outerReport, bannerFolder, options.strict, summary);
  RuleObserver observer(report, summary, summary.scriptShownAs);
  ObservedScriptHost* liveEngine = nullptr;

  Session session(report, options.strict);
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
  // What the control logs goes to the report for the length of the session.
  automation::SetDiagnosticSink([&report](const automation::Diagnostic& d) {
    report.Log(FromUtf8(d.source + ": " + d.message));
  });
  struct RestoreSink {
    ~RestoreSink() { automation::SetDiagnosticSink(automation::LogToStandardError); }
  } restoreSink;

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
  services.scriptHosts = [&observer, &liveEngine](script::ScriptServices engineServices) {
    engineServices.countLineRuns = true;  // the session's coverage report
    return std::unique_ptr<script::ScriptHost>(
        new ObservedScriptHost(script::CreateScriptHost(engineServices), observer, liveEngine));
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
  if (summaryOut) {
    if (liveEngine) observer.Harvest(liveEngine->LineCoverage());
    summary.pages = BannerPages(bannerFolder);
    *summaryOut = std::move(summary);
  }
  return status;
}

}  // namespace brevalcore::tools
