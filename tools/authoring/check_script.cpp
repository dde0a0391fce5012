// The rule script: read as the control reads it, parsed and bound by the engine's own parser
// and compiler against the real rule objects, then judged: syntax, names, calls of the rule
// objects, the procedures the control runs, and the banners it shows.
#include <algorithm>

#include "control/addresses.h"
#include "control/rule_script.h"
#include "platform/automation/convert.h"
#include "platform/script/compiler/analysis.h"
#include "tools/authoring/checker.h"

namespace brevalcore::authoring {

namespace {

namespace analysis = script::analysis;
using analysis::ProblemKind;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Members of the rule objects whose first argument is a banner code: ShowBanner shows its
// page; the others read or write its history.
constexpr const char16_t* kShowBannerMember = u"ShowBanner";
constexpr const char16_t* kHistoryMembers[] = {
    u"BannerAlreadyShownToday", u"GetLastDateOfBannerVisualization", u"GetBannerKeyData",
    u"GetBannerPatientKeyData", u"GetLastDateOfBannerVisualizationForPatient",
    u"GetFirstDateOfBannerVisualizationForPatient", u"IsFirstBannerVisualizationForPatient",
    u"DoSetBannerKeyData", u"DoSetBannerPatientKeyData", u"DoSetLastDateOfBannerVisualizationForPatient",
    u"DoSetFirstDateOfBannerVisualizationForPatient",
};
// Sections of the doctor's profile that are not banners: scripts may read them on purpose.
constexpr const char16_t* kSettingsSections[] = {u"BVC", u"AutoSubstitute"};

bool IsHistoryMember(StringView name) {
  return std::any_of(std::begin(kHistoryMembers), std::end(kHistoryMembers),
                     [&](const char16_t* m) { return automation::EqualsNoCase(name, m); });
}

std::vector<analysis::HostObject> RuleObjectTables() {
  std::vector<analysis::HostObject> objects;
  for (const control::RuleObject& o : control::RuleObjects()) objects.push_back({o.name, &o.members(), true});
  return objects;
}

std::vector<String> MemberNames(const analysis::ClassInfo& info) {
  std::vector<String> names;
  for (const auto& m : info.members) names.push_back(m.name);
  return names;
}

// Every member name of the rule objects, for suggestions.
std::vector<String> RuleMemberNames() {
  std::vector<String> names;
  for (const control::RuleObject& o : control::RuleObjects())
    for (String& name : MemberNames(o.members())) names.push_back(std::move(name));
  return names;
}

std::string ArgumentCount(int n) { return std::to_string(n) + (n == 1 ? " argument" : " arguments"); }

std::string Expected(int min, int max) {
  if (min == max) return ArgumentCount(min);
  return std::to_string(min) + " to " + ArgumentCount(max);
}

class ScriptChecker {
 public:
  // `isRuleScript`: the package's banner.script, whose four procedures the control runs.
  ScriptChecker(Checker& checker, std::string file, bool isRuleScript)
      : c_(checker), file_(std::move(file)), isRuleScript_(isRuleScript) {}

  void Run(const std::string& bytes) {
    if (bytes.starts_with(kUtf8Bom))
      c_.Error(At(1, 1), "script-bom",
               "the file starts with a UTF-8 byte-order mark, which the control reads as the characters 'ï»¿' "
               "(a syntax error); save the script as Windows-1252 (ANSI)");
    ReportUtf8Lines(bytes);
    const String text = control::DecodeScriptText(bytes);
    const std::vector<analysis::HostObject> objects = RuleObjectTables();
    const analysis::Report report = analysis::Analyze(text, objects);
    for (const auto& e : report.syntaxErrors)
      c_.Error(At(e.line, e.column), "script-syntax",
               ErrorTextOf(e.number) + " (compile error " + std::to_string(e.number) +
                   "): the control's start fails and switches banners off");
    if (!report.syntaxErrors.empty()) return;
    for (const auto& p : report.problems) Problem(p, report);
    if (isRuleScript_) EntryPoints(report);
    Banners(report);
  }

 private:
  Place At(int line, int column) const { return {file_, line, column}; }
  Place At(analysis::Position p) const { return {file_, p.line, p.column}; }

  // A UTF-8 text differs from what the control reads wherever it is not plain ASCII.
  void ReportUtf8Lines(const std::string& bytes) {
    const bool hasNonAscii = std::any_of(bytes.begin(), bytes.end(), [](char ch) { return static_cast<unsigned char>(ch) >= 0x80; });
    if (!hasNonAscii || !automation::IsValidUtf8(bytes)) return;
    int line = 1;
    size_t lineStart = 0;
    bool reported = false;
    for (size_t i = bytes.starts_with(kUtf8Bom) ? 3 : 0; i < bytes.size(); ++i) {
      const unsigned char ch = static_cast<unsigned char>(bytes[i]);
      if (ch == '\n') {
        ++line;
        lineStart = i + 1;
        reported = false;
      } else if (ch >= 0xC0 && !reported) {
        reported = true;
        const String utf8Word = automation::FromUtf8(WordAround(bytes, i));
        const String cp1252Word = automation::FromCp1252(WordAround(bytes, i));
        const int column = static_cast<int>(automation::FromUtf8(bytes.substr(lineStart, i - lineStart)).size()) + 1;
        c_.Warning(At(line, column), "script-encoding",
                   "UTF-8 text: the control reads the script as Windows-1252, so " + Quoted(utf8Word) + " becomes " +
                       Quoted(cp1252Word) + "; save the script as Windows-1252 (ANSI)");
      }
    }
  }

  static std::string WordAround(const std::string& bytes, size_t at) {
    auto isBreak = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '"' || ch == '\''; };
    size_t begin = at, end = at;
    while (begin > 0 && !isBreak(bytes[begin - 1])) --begin;
    while (end < bytes.size() && !isBreak(bytes[end])) ++end;
    return bytes.substr(begin, end - begin);
  }

  void Problem(const analysis::Problem& p, const analysis::Report& report) {
    const std::string name = Quoted(p.name);
    switch (p.kind) {
      case ProblemKind::UndefinedName:
        c_.Error(At(p.at), "script-undefined",
                 name + " is not declared (Option Explicit)" + DidYouMean(p.name, KnownNames(report)) +
                     "; the rule stops with error 500 \"" + ErrorTextOf(500) + "\"");
        break;
      case ProblemKind::UnknownProcedure:
        c_.Error(At(p.at), "script-unknown-procedure",
                 name + " is neither a procedure of the script nor a member of actions, conditions or commands" +
                     DidYouMean(p.name, KnownNames(report)) + "; the rule stops with error 13 \"" + ErrorTextOf(13) + "\"");
        break;
      case ProblemKind::NoSuchMember:
        c_.Error(At(p.at), "script-no-member",
                 automation::ToUtf8(p.owner->name) + " has no member " + name +
                     DidYouMean(p.name, MemberNames(*p.owner)) + "; the rule stops with error 438 \"" +
                     ErrorTextOf(438) + "\"");
        break;
      case ProblemKind::WrongArgumentCount:
        c_.Error(At(p.at), "script-arguments",
                 automation::ToUtf8(p.member->name) + " takes " + Expected(p.minArgs, p.maxArgs) + ", not " +
                     std::to_string(p.given) + "; the rule stops with error 450 \"" + ErrorTextOf(450) + "\"");
        break;
      case ProblemKind::NotAssignable:
        c_.Error(At(p.at), "script-not-assignable",
                 automation::ToUtf8(p.member->name) + " cannot be assigned; the rule stops with error 450 \"" +
                     ErrorTextOf(450) + "\"");
        break;
    }
  }

  static std::vector<String> KnownNames(const analysis::Report& report) {
    std::vector<String> names = RuleMemberNames();
    for (const auto& p : report.procedures) names.push_back(p.name);
    return names;
  }

  // The four procedures the control runs by name, without arguments.
  void EntryPoints(const analysis::Report& report) {
    std::vector<String> events;
    for (const auto& e : control::kScriptEntryPoints) events.emplace_back(e.statement);
    for (const auto& e : control::kScriptEntryPoints) {
      const auto it = std::find_if(report.procedures.begin(), report.procedures.end(),
                                   [&](const auto& p) { return automation::EqualsNoCase(p.name, e.statement); });
      const std::string name = Quoted(StringView(e.statement));
      if (it == report.procedures.end()) {
        c_.Error(At(0, 0), "script-missing-procedure",
                 "the script defines no " + name + ", which the control runs (" + automation::ToUtf8(e.runner) +
                     "): the run fails and switches banners off; define it, even empty");
      } else if (it->parameters > 0) {
        c_.Error(At(it->at), "script-procedure-arguments",
                 name + " takes arguments, but the control runs it without any: the run fails with error 450 and "
                        "switches banners off");
      }
    }
    // A procedure named almost like one of them, and never called by the script: a misspelt
    // event that never runs.
    for (const auto& p : report.procedures) {
      if (p.calls > 0 || std::any_of(events.begin(), events.end(), [&](const String& e) { return automation::EqualsNoCase(e, p.name); }))
        continue;
      std::vector<String> near = analysis::NearNames(p.name, events);
      for (const String& e : events)
        if (near.empty() && automation::ToUpper(p.name).find(automation::ToUpper(e)) != String::npos) near.push_back(e);
      if (!near.empty())
        c_.Warning(At(p.at), "script-event-name",
                   Quoted(p.name) + " is not run by the control and the script never calls it (did you mean " +
                       Quoted(near.front()) + "?)");
    }
  }

  // Banner codes written in the script: ShowBanner's must have a page; the history members'
  // most likely should.
  void Banners(const analysis::Report& report) {
    c_.allBannersKnown = true;
    for (const auto& call : report.hostCalls) {
      const bool shows = automation::EqualsNoCase(call.member->name, kShowBannerMember);
      if ((!shows && !IsHistoryMember(call.member->name)) || call.arguments.empty()) continue;
      const analysis::ArgumentValues& values = call.arguments[0];
      if (shows && values.other) c_.allBannersKnown = false;
      for (const analysis::ConstantText& text : values.constants) {
        if (!text.complete && text.text.find(u'?') == String::npos) {
          if (shows) c_.allBannersKnown = false;
          continue;
        }
        const String name = control::BannerName(text.text);
        if (name.empty()) continue;  // ShowBanner "" clears the choice
        Banner(name, shows, call.member->name, At(text.at));
      }
    }
  }

  void Banner(const String& name, bool shows, const String& member, const Place& at) {
    if (!shows && std::any_of(std::begin(kSettingsSections), std::end(kSettingsSections),
                              [&](const char16_t* s) { return automation::EqualsNoCase(name, s); }))
      return;
    const String page = name + control::kBannerPageExtension;
    const NameMatch match = c_.Lookup(page, at, automation::ToUtf8(member) + " of");
    if (match.state == NameMatch::State::Found) {
      if (shows) c_.bannersShown.insert(match.name);
      return;
    }
    if (match.state == NameMatch::State::Ambiguous) {
      if (shows) c_.bannersShown.insert({match.name, match.other});  // shown, whichever the platform finds
      return;
    }
    std::vector<String> pages;
    for (const String& f : c_.package().fileNames())
      if (EndsWithNoCase(f, control::kBannerPageExtension)) pages.push_back(f.substr(0, f.size() - 5));
    const std::string hint = DidYouMean(name, pages);
    if (shows)
      c_.Error(at, "script-banner-missing",
               "ShowBanner " + Quoted(name) + ": the package has no page " + Quoted(page) + hint +
                   "; the doctor would see the offline page instead");
    else
      c_.Warning(at, "script-banner-unknown",
                 automation::ToUtf8(member) + " " + Quoted(name) + ": no banner of that name (no page " + Quoted(page) +
                     ")" + hint);
  }

  Checker& c_;
  std::string file_;
  bool isRuleScript_;
};

}  // namespace

void Checker::CheckScript(const PackageEntry& script, const std::string& shownAs) {
  const std::optional<std::string> bytes = ReadText(script, shownAs);
  if (!bytes) return;
  const bool isRuleScript = automation::EqualsNoCase(script.name, automation::Ascii(control::kScriptFileName));
  ScriptChecker(*this, shownAs, isRuleScript).Run(*bytes);
}

}  // namespace brevalcore::authoring
