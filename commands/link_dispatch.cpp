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

  void Run(StringView word, String& param, String& options);

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

void CommandRun::Run(StringView word, String& param, String& options) {
  if (word == u"SHELL") {
    OpenShellFile(param);
  } else if (word == u"SHELLLIST") {
    if (param.find(u'&') == String::npos) return;
    param = ShowShellList(host_, ElementText(), param);
    if (!param.empty()) OpenShellFile(param);
  } else if (word == u"LINK") {
    host_.Shell().Open(LinkTarget(host_, param));
    CountAndTrace(u"LINK", param);
  } else if (word == u"SAVELINK") {
    std::vector<String> parts = SplitExactly(param, u'|', 2);
    const String& target = parts[0];
    if (parts[1].empty()) parts[1] = ElementText();
    const String& title = parts[1];
    if (CreateDesktopShortcut(host_, title, target, static_cast<int>(ShortcutKind::InternetShortcut))) {
      ShowShortcutForm(host_, title, target, kShortcutSeconds);
      CountAndTrace(u"SAVELINK", target);
    }
  } else if (word == u"SUBSTITUTEEVER") {
    CountAndTrace(u"SUBSTITUTEEVER", param);
    if (const String current = host_.CurrentDrug(); !current.empty()) {
      SaveAutoSubstitution(host_, current, param);
    } else if (const String prescribing = host_.PrescribingDrugAic(); !prescribing.empty()) {
      SaveAutoSubstitution(host_, prescribing, param);
    }
    String eventParam = param + u"&1";  // the host's answer is not used
    host_.RaiseOnCommandClick(u"SUBSTITUTE", eventParam);
  } else if (word == u"SUBSTITUTE") {
    CountAndTrace(u"SUBSTITUTE", param);
    Prescribe(u"SUBSTITUTE", param, options, true, u"&0");
  } else if (word == u"PRESCRIBE" || word == u"PRESCRIBEPHARMA" || word == u"PRESCRIBEPARAPHARMA" ||
             word == u"PRESCRIBEHOMEOPATHIC") {
    host_.IncrementBannerCounter(word);
    host_.TraceBannerAction(u"PRESCRIBE", param);
    Prescribe(word, param, options, false, u"");
  } else if (word == u"VOLUNTAS") {
    String eventParam = param;
    host_.RaiseOnCommandClick(u"VOLUNTAS", eventParam);
    host_.IncrementBannerCounter(u"VOLUNTAS");
  } else if (word == u"DOCUMENT") {
    if (auto file = ExistingFile(param)) {
      auto rtf = automation::MakeRef<RtfCompile>();
      const String output = host_.MakeTempFileName(param);
      const String written = GenerateDocument(host_, *rtf, *file, output);
      host_.Shell().Open(written);
    }
    host_.IncrementBannerCounter(u"DOCUMENT");
  } else if (word == u"SAVEPATIENTKEYDATA") {
    const std::vector<String> kv = SplitExactly(param, u'=', 2);
    host_.WriteBannerPatientKeyData(kv[0], kv[1]);
  } else if (word == u"SAVEKEYDATA") {
    const std::vector<String> kv = SplitExactly(param, u'=', 2);
    host_.WriteBannerKeyData(kv[0], kv[1]);
  }
}

// Steps 3 and 4 of the intake: classify the element under the mouse and run its command.
void HandleElement(CommandHost& host, const std::shared_ptr<browser::Element>& element) {
  if (!element) EndHandling();  // no source element: reading its tag fails
  const String tag = automation::ToLower(element->TagName());
  bool isCommand = false;
  if (tag == u"a") {
    if (!element->Hash().empty()) {
      isCommand = true;
    } else {
      if (!element->HasAttribute(u"href")) EndHandling();  // a null href cannot be opened
      host.Shell().Open(element->GetAttribute(u"href"));
    }
  } else if (tag == u"input") {
    try {
      element->Click();
    } catch (const std::exception&) {
      // the input's own click failing does not stop the command
    }
    isCommand = element->HasAttribute(u"href");
  } else if (tag == u"img") {
    isCommand = element->HasAttribute(u"href");
  }
  if (!isCommand) return;

  const auto link = LinkFragment(element->GetAttribute(u"href"));
  if (!link) EndHandling();
  CommandLink parsed = ParseCommandLink(*link);
  const String word = automation::ToUpper(parsed.command);
  CommandRun(host, *element).Run(word, parsed.param, parsed.options);
}

}  // namespace

void OnDocumentMouseDown(CommandHost& host, int button, const std::shared_ptr<browser::Element>& element) {
  try {
    if (button != browser::mouse::kRight) HandleElement(host, element);
    host.RaiseOnClick(static_cast<int16_t>(button));
  } catch (const std::exception&) {
    // Click handling never reports: what was done stays done, nothing else follows.
  }
}

}  // namespace brevalcore::commands
