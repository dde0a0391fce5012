// doc_onmousedown: from a mouse press on the banner page to a command and the host's events.
#include <exception>

#include "commands/command_host.h"
#include "commands/link.h"
#include "commands/procedures.h"
#include "platform/automation/error.h"
#include "platform/browser/browser_host.h"
#include "platform/shell/shell_open.h"

namespace brevalcore::commands {

namespace {

using automation::AutomationError;

// A failure of the click handling that no step catches: the handling ends silently.
[[noreturn]] void EndHandling() { automation::Raise(automation::err::kInvalidProcedureCall); }

class CommandRun {
 public:
  CommandRun(CommandHost& host, browser::Element& element) : host_(host), element_(element) {}

  void Run(const LinkCommandInfo& info, String& param, String& options);

 private:
  String ElementText() const { return TrimSpaces(element_.InnerText()); }
  // The link's file in the banner folder, when it is a plain file there.
  std::optional<String> ExistingFile(StringView name) const { return ExistingBannerFile(host_, name); }
  void CountAndTrace(StringView word, StringView param) {
    host_.IncrementBannerCounter(word);
    host_.TraceBannerAction(word, param);
  }
  void OpenShellFile(StringView name);
  void Prescribe(StringView word, String& param, String& options, bool singleChoice, StringView suffix);

  CommandHost& host_;
  browser::Element& element_;
};

void CommandRun::OpenShellFile(StringView name) {
  if (auto file = ExistingFile(name)) {
    host_.Shell().Open(*file);
    CountAndTrace(u"SHELL", name);
  }
}

// SUBSTITUTE and the prescribe words: a list of several codes lets the doctor choose first.
void CommandRun::Prescribe(StringView word, String& param, String& options, bool singleChoice, StringView suffix) {
  if (param.find(u'&') != String::npos) ShowSelectionList(host_, param, singleChoice);
  if (param.empty()) return;
  ResolveNotReplaceable(host_, options);
  host_.RaiseOnCommandClickExtended(word, param + String(suffix), options);
}

void CommandRun::Run(const LinkCommandInfo& info, String& param, String& options) {
  const StringView word = info.word;
  switch (info.command) {
    case LinkCommand::Shell: OpenShellFile(param); break;
    case LinkCommand::ShellList:
      if (param.find(u'&') == String::npos) return;
      param = ShowShellList(host_, ElementText(), param);
      if (!param.empty()) OpenShellFile(param);
      break;
    case LinkCommand::Link:
      host_.Shell().Open(LinkTarget(host_, param));
      CountAndTrace(u"LINK", param);
      break;
    case LinkCommand::SaveLink: {
      std::vector<String> parts = SplitExactly(param, u'|', 2);
      const String& target = parts[0];
      if (parts[1].empty()) parts[1] = ElementText();
      const String& title = parts[1];
      if (CreateDesktopShortcut(host_, title, target, static_cast<int>(ShortcutKind::InternetShortcut))) {
        ShowShortcutForm(host_, title, target, kShortcutSeconds);
        CountAndTrace(u"SAVELINK", target);
      }
      break;
    }
    case LinkCommand::SubstituteEver: {
      CountAndTrace(u"SUBSTITUTEEVER", param);
      if (const String current = host_.CurrentDrug(); !current.empty()) {
        SaveAutoSubstitution(host_, current, param);
      } else if (const String prescribing = host_.PrescribingDrugAic(); !prescribing.empty()) {
        SaveAutoSubstitution(host_, prescribing, param);
      }
      String eventParam = param + u"&1";  // the host's answer is not used
      host_.RaiseOnCommandClick(u"SUBSTITUTE", eventParam);
      break;
    }
    case LinkCommand::Substitute:
      CountAndTrace(u"SUBSTITUTE", param);
      Prescribe(u"SUBSTITUTE", param, options, true, u"&0");
      break;
    case LinkCommand::Prescribe:
    case LinkCommand::PrescribePharma:
    case LinkCommand::PrescribeParapharma:
    case LinkCommand::PrescribeHomeopathic:
      host_.IncrementBannerCounter(word);
      host_.TraceBannerAction(u"PRESCRIBE", param);
      Prescribe(word, param, options, false, u"");
      break;
    case LinkCommand::Voluntas: {
      String eventParam = param;
      host_.RaiseOnCommandClick(u"VOLUNTAS", eventParam);
      host_.IncrementBannerCounter(u"VOLUNTAS");
      break;
    }
    case LinkCommand::Document:
      if (auto file = ExistingFile(param)) {
        auto rtf = automation::MakeRef<RtfCompile>();
        const String output = host_.MakeTempFileName(param);
        const String written = GenerateDocument(host_, *rtf, *file, output);
        host_.Shell().Open(written);
      }
      host_.IncrementBannerCounter(u"DOCUMENT");
      break;
    case LinkCommand::SavePatientKeyData: {
      const std::vector<String> kv = SplitExactly(param, u'=', 2);
      host_.WriteBannerPatientKeyData(kv[0], kv[1]);
      break;
    }
    case LinkCommand::SaveKeyData: {
      const std::vector<String> kv = SplitExactly(param, u'=', 2);
      host_.WriteBannerKeyData(kv[0], kv[1]);
      break;
    }
  }
}

// Steps 3 and 4 of the intake: classify the element under the mouse and run its command.
void HandleElement(CommandHost& host, const std::shared_ptr<browser::Element>& element) {
  if (!element) EndHandling();  // no source element: reading its tag fails
  if (automation::EqualsNoCase(element->TagName(), u"input")) {
    try {
      element->Click();  // an input's own click runs first, command or not
    } catch (const std::exception&) {
      // the input's own click failing does not stop the command
    }
  }
  const ElementRole role = ClassifyElement(*element);
  if (role == ElementRole::PlainLink) {
    if (!element->HasAttribute(u"href")) EndHandling();  // a null href cannot be opened
    host.Shell().Open(element->GetAttribute(u"href"));
    return;
  }
  if (role != ElementRole::Command) return;

  const auto link = LinkFragment(element->GetAttribute(u"href"));
  if (!link) EndHandling();
  CommandLink parsed = ParseCommandLink(*link);
  if (const LinkCommandInfo* info = FindLinkCommand(automation::ToUpper(parsed.command)))
    CommandRun(host, *element).Run(*info, parsed.param, parsed.options);
}

}  // namespace

ElementRole ClassifyElement(const browser::Element& element) {
  const String tag = automation::ToLower(element.TagName());
  if (tag == u"a") return element.Hash().empty() ? ElementRole::PlainLink : ElementRole::Command;
  if (tag == u"input" || tag == u"img") return element.HasAttribute(u"href") ? ElementRole::Command : ElementRole::None;
  return ElementRole::None;
}

void OnDocumentMouseDown(CommandHost& host, int button, const std::shared_ptr<browser::Element>& element) {
  try {
    if (button != browser::mouse::kRight) HandleElement(host, element);
    host.RaiseOnClick(static_cast<int16_t>(button));
  } catch (const std::exception&) {
    // Click handling never reports: what was done stays done, nothing else follows.
  }
}

}  // namespace brevalcore::commands
