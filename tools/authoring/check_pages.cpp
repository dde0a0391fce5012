// Pages: parsed by the control's page model, each element classified as the click handling
// classifies it, each command link parsed by the control's link parser and held against the
// command table; plain references to files of the package must find them.
#include <algorithm>

#include "commands/command_host.h"
#include "commands/link.h"
#include "platform/browser/html_document.h"
#include "tools/authoring/checker.h"

namespace brevalcore::authoring {

namespace {

using commands::LinkCommand;
using commands::LinkCommandInfo;
using commands::LinkParam;

constexpr char16_t kNotReplaceable[] = u"NOTREPLACEABLE";
constexpr size_t kOptionItemsRead = 2;  // the control reads only the first two options

std::vector<String> CommandWords() {
  std::vector<String> words;
  for (const LinkCommandInfo& info : commands::LinkCommands()) words.emplace_back(info.word);
  return words;
}

// A reference that leaves the page for another site or scheme, or stays inside the page.
bool IsExternal(StringView ref) {
  if (ref.empty() || ref[0] == u'#' || ref.starts_with(u"//")) return true;
  const size_t colon = ref.find(u':');
  if (colon == StringView::npos || colon == 0) return false;
  const size_t slash = ref.find_first_of(u"/?#");
  return slash == StringView::npos || colon < slash;  // "scheme:" before any path
}

String PercentDecoded(StringView text) {
  std::string bytes = automation::ToUtf8(text), out;
  auto hex = [](char ch) -> int {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '%' && i + 2 < bytes.size() && hex(bytes[i + 1]) >= 0 && hex(bytes[i + 2]) >= 0) {
      out += static_cast<char>(hex(bytes[i + 1]) * 16 + hex(bytes[i + 2]));
      i += 2;
    } else {
      out += bytes[i];
    }
  }
  return automation::IsValidUtf8(out) ? automation::FromUtf8(out) : automation::FromCp1252(out);
}

class PageChecker {
 public:
  PageChecker(Checker& checker, std::string file) : c_(checker), file_(std::move(file)) {}

  void Run(const std::string& bytes) {
    const auto document = browser::HtmlDocument::Parse(bytes, u"file:///page");
    // The tree is walked with a stack of its own: a page may nest as deep as it likes.
    std::vector<browser::HtmlNode*> stack{document->root()};
    while (!stack.empty()) {
      browser::HtmlNode* node = stack.back();
      stack.pop_back();
      if (!node->tag.empty()) Element(*document, *node);
      for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) stack.push_back(it->get());
    }
  }

 private:
  void Element(browser::HtmlDocument& document, browser::HtmlNode& node) {
    const Place at{file_, node.line, node.column};
    const auto element = document.Wrap(&node);
    const String* href = node.Attribute(u"href");
    if (const String* src = node.Attribute(u"src")) Reference(*src, at, u"src");
    switch (commands::ClassifyElement(*element)) {
      case commands::ElementRole::Command: {
        const auto fragment = commands::LinkFragment(element->GetAttribute(u"href"));
        if (!fragment) {
          c_.Error(at, "link-no-fragment",
                   "<" + automation::ToUtf8(node.tag) + "> with an href but no '#COMMAND': a press ends without any "
                   "event, not even OnClick");
          return;
        }
        Link(*fragment, *element, at);
        return;
      }
      case commands::ElementRole::PlainLink:
        if (href) Reference(*href, at, u"href");
        return;
      case commands::ElementRole::None: break;
    }
    if (href && (node.tag == u"link" || node.tag == u"area")) Reference(*href, at, u"href");
    // An href with a command on an element the click handling does not look at.
    if (href) {
      const auto fragment = commands::LinkFragment(*href);
      if (fragment && commands::FindLinkCommand(automation::ToUpper(commands::ParseCommandLink(*fragment).command)))
        c_.Warning(at, "link-element",
                   "a command link on <" + automation::ToUtf8(node.tag) +
                       ">, which runs no command: only <a>, <img> and <input> do");
    }
  }

  // A plain reference to a file of the package (a picture, a style sheet, another page).
  void Reference(StringView ref, const Place& at, StringView attribute) {
    if (IsExternal(ref) || ref.starts_with(u"/")) return;
    String path(ref.substr(0, ref.find_first_of(u"?#")));
    if (path.empty()) return;
    path = PercentDecoded(path);
    std::replace(path.begin(), path.end(), u'\\', u'/');
    const std::string what = automation::ToUtf8(attribute) + "=" + Quoted(ref);
    if (path.find(u'/') != String::npos) {
      c_.Error(at, "page-missing-file", what + " names a file in a subfolder, which a package cannot hold");
      return;
    }
    const NameMatch match = c_.Lookup(path, at, what + " names");
    if (match.state == NameMatch::State::Found) c_.pagesLinked.insert(match.name);
    if (match.state == NameMatch::State::Missing)
      c_.Error(at, "page-missing-file", what + ": the package has no file " + Quoted(path));
  }

  void Link(const String& fragment, const browser::Element& element, const Place& at) {
    const commands::CommandLink link = commands::ParseCommandLink(fragment);
    const String word = automation::ToUpper(link.command);
    const std::string shown = "#" + automation::ToUtf8(link.command);
    const LinkCommandInfo* info = commands::FindLinkCommand(word);
    if (!info) {
      c_.Error(at, "link-unknown-command",
               shown + " is not a command the control knows" + DidYouMean(word, CommandWords()) +
                   "; a press does nothing but OnClick");
      return;
    }
    if (commands::SplitText(fragment, u'?').size() > 3)
      c_.Warning(at, "link-extra-part",
                 shown + ": what follows the third '?' is dropped (a link is #COMMAND?param?options)");
    Parameter(*info, link.param, element, at, shown);
    Options(*info, link.options, at, shown);
  }

  void Parameter(const LinkCommandInfo& info, const String& param, const browser::Element& element, const Place& at,
                 const std::string& shown) {
    switch (info.param) {
      case LinkParam::FileName:
        if (param.empty()) {
          c_.Error(at, "link-param", shown + " needs a file name of the package");
          return;
        }
        File(param, at, shown, info.command == LinkCommand::Document);
        return;
      case LinkParam::FileList: FileList(param, at, shown); return;
      case LinkParam::Address:
        if (param.empty()) c_.Error(at, "link-param", shown + " needs an address to open");
        else if (!IsExternal(param))
          c_.Warning(at, "link-param",
                     shown + "?" + automation::ToUtf8(param) +
                         " opens a file of the control's folder, not of the package; use #SHELL for package files");
        return;
      case LinkParam::TargetAndTitle: {
        const std::vector<String> parts = commands::SplitExactly(param, u'|', 2);
        const String title = parts[1].empty() ? element.InnerText() : parts[1];
        if (parts[0].empty()) c_.Error(at, "link-param", shown + " needs an address before '|'");
        if (title.empty())
          c_.Error(at, "link-param", shown + " has no title after '|' and the element no text: the shortcut has no name");
        else if (auto problem = FileNameProblem(title + u".url"))
          c_.Error(at, "link-param", shown + ": the title " + Quoted(title) + " cannot name a desktop shortcut: " + *problem);
        return;
      }
      case LinkParam::DrugCode:
        if (param.empty()) c_.Error(at, "link-param", shown + " needs the code of the substitute drug");
        else if (param.find(u'&') != String::npos)
          c_.Warning(at, "link-param", shown + " stores " + Quoted(param) + " whole as one substitute code");
        return;
      case LinkParam::DrugCodes: {
        const std::vector<String> codes = commands::SplitText(param, u'&');
        if (std::all_of(codes.begin(), codes.end(), [](const String& c) { return c.empty(); }))
          c_.Error(at, "link-param", shown + " needs a drug code: without one the host is asked for nothing");
        return;
      }
      case LinkParam::KeyAndValue: {
        const std::vector<String> kv = commands::SplitExactly(param, u'=', 2);
        if (kv[0].empty()) c_.Error(at, "link-param", shown + " needs key=value: no key is given");
        else if (param.find(u'=') == String::npos)
          c_.Warning(at, "link-param", shown + "?" + automation::ToUtf8(param) + " stores an empty value (no '=value')");
        return;
      }
      case LinkParam::FreeText:
        if (param.empty()) c_.Warning(at, "link-param", shown + " passes an empty text to the host");
        return;
    }
  }

  // A file of the package named in a link, looked up as the click handling looks it up.
  void File(const String& name, const Place& at, const std::string& shown, bool isTemplate) {
    String path = name;
    std::replace(path.begin(), path.end(), u'\\', u'/');
    const std::string what = shown + "?" + automation::ToUtf8(name);
    if (path.starts_with(u"/") || path == u".." || path.starts_with(u"../") || path.find(u"/../") != String::npos ||
        path.ends_with(u"/..")) {
      c_.Error(at, "link-target-outside", what + " leads out of the banner folder: the control opens nothing");
      return;
    }
    if (path.find(u'/') != String::npos) {
      c_.Error(at, "link-target-missing", what + " names a file in a subfolder, which a package cannot hold");
      return;
    }
    if (path.starts_with(u".")) {
      c_.Error(at, "link-target-missing", what + " names a hidden file, which the control does not open");
      return;
    }
    const NameMatch match = c_.Lookup(path, at, what + " names");
    if (match.state == NameMatch::State::Missing) {
      c_.Error(at, "link-target-missing",
               what + ": the package has no file " + Quoted(path) + DidYouMean(path, c_.package().fileNames()) +
                   "; the press opens nothing");
    } else if (match.state == NameMatch::State::Found) {
      c_.pagesLinked.insert(match.name);
      if (isTemplate) c_.templatesUsed.insert(match.name);
    }
  }

  void FileList(const String& param, const Place& at, const std::string& shown) {
    if (param.find(u'&') == String::npos) {
      c_.Error(at, "link-param",
               shown + " needs at least two file|title items joined by '&': with one the press does nothing");
      return;
    }
    for (const String& item : commands::SplitText(param, u'&')) {
      if (item.empty()) continue;
      if (item.find(u'|') == String::npos) {
        c_.Error(at, "link-param",
                 shown + ": the item " + Quoted(item) + " has no '|title': the whole list shows nothing");
        return;
      }
    }
    for (const String& item : commands::SplitText(param, u'&')) {
      const String file = commands::SplitText(item, u'|')[0];
      if (commands::TrimSpaces(file).empty()) continue;
      File(file, at, shown, false);
    }
  }

  void Options(const LinkCommandInfo& info, const String& options, const Place& at, const std::string& shown) {
    if (options.empty()) return;
    if (!info.readsOptions) {
      c_.Warning(at, "link-option", shown + " reads no options: " + Quoted(options) + " is ignored");
      return;
    }
    const auto value = commands::GetLinkOption(options, kNotReplaceable, u"");
    if (!value) {
      c_.Error(at, "link-option", shown + ": NOTREPLACEABLE without '=value' ends the press: nothing reaches the host");
      return;
    }
    if (*value != u"" && *value != u"0" && *value != u"1" && *value != u"2")
      c_.Warning(at, "link-option",
                 shown + ": NOTREPLACEABLE=" + automation::ToUtf8(*value) +
                     " reaches the host as it is; the control asks the doctor for 2, and hosts expect 0, 1 or 2");
    const std::vector<String> items = commands::SplitText(options, u'&');
    for (size_t i = kOptionItemsRead; i < items.size(); ++i) {
      const String key = automation::ToUpper(commands::SplitText(items[i], u'=')[0]);
      if (key == kNotReplaceable)
        c_.Warning(at, "link-option",
                   shown + ": NOTREPLACEABLE is not among the first two options, the only ones the control reads");
    }
  }

  Checker& c_;
  std::string file_;
};

}  // namespace

void Checker::CheckPage(const PackageEntry& page, const std::string& shownAs) {
  const std::optional<std::string> bytes = ReadText(page, shownAs);
  if (!bytes) return;
  PageChecker(*this, shownAs).Run(*bytes);
}

}  // namespace brevalcore::authoring
