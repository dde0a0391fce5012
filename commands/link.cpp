#include "commands/link.h"

namespace brevalcore::commands {

namespace {

constexpr LinkCommandInfo kLinkCommands[] = {
    {LinkCommand::Shell, u"SHELL", LinkParam::FileName, false},
    {LinkCommand::ShellList, u"SHELLLIST", LinkParam::FileList, false},
    {LinkCommand::Link, u"LINK", LinkParam::Address, false},
    {LinkCommand::SaveLink, u"SAVELINK", LinkParam::TargetAndTitle, false},
    {LinkCommand::SubstituteEver, u"SUBSTITUTEEVER", LinkParam::DrugCode, false},
    {LinkCommand::Substitute, u"SUBSTITUTE", LinkParam::DrugCodes, true},
    {LinkCommand::Prescribe, u"PRESCRIBE", LinkParam::DrugCodes, true},
    {LinkCommand::PrescribePharma, u"PRESCRIBEPHARMA", LinkParam::DrugCodes, true},
    {LinkCommand::PrescribeParapharma, u"PRESCRIBEPARAPHARMA", LinkParam::DrugCodes, true},
    {LinkCommand::PrescribeHomeopathic, u"PRESCRIBEHOMEOPATHIC", LinkParam::DrugCodes, true},
    {LinkCommand::Voluntas, u"VOLUNTAS", LinkParam::FreeText, false},
    {LinkCommand::Document, u"DOCUMENT", LinkParam::FileName, false},
    {LinkCommand::SavePatientKeyData, u"SAVEPATIENTKEYDATA", LinkParam::KeyAndValue, false},
    {LinkCommand::SaveKeyData, u"SAVEKEYDATA", LinkParam::KeyAndValue, false},
};

}  // namespace

std::span<const LinkCommandInfo> LinkCommands() { return kLinkCommands; }

const LinkCommandInfo* FindLinkCommand(StringView word) {
  for (const LinkCommandInfo& info : kLinkCommands)
    if (word == info.word) return &info;
  return nullptr;
}

std::vector<String> SplitText(StringView text, char16_t separator) {
  std::vector<String> parts;
  size_t start = 0;
  for (;;) {
    const size_t at = text.find(separator, start);
    if (at == StringView::npos) {
      parts.emplace_back(text.substr(start));
      return parts;
    }
    parts.emplace_back(text.substr(start, at - start));
    start = at + 1;
  }
}

std::vector<String> SplitExactly(StringView text, char16_t separator, size_t count) {
  std::vector<String> parts = SplitText(text, separator);
  parts.resize(count);
  return parts;
}

String TrimSpaces(StringView text) {
  const size_t first = text.find_first_not_of(u' ');
  if (first == StringView::npos) return {};
  const size_t last = text.find_last_not_of(u' ');
  return String(text.substr(first, last - first + 1));
}

CommandLink ParseCommandLink(StringView link) {
  std::vector<String> parts = SplitExactly(link, u'?', 3);
  CommandLink result;
  result.command = parts[0].empty() ? String() : parts[0].substr(1);
  result.param = std::move(parts[1]);
  result.options = std::move(parts[2]);
  return result;
}

std::optional<String> LinkFragment(StringView href) {
  const size_t hash = href.rfind(u'#');
  if (hash == StringView::npos) return std::nullopt;
  return String(href.substr(hash));
}

namespace {

constexpr size_t kOptionItemsConsidered = 2;  // only the first two "&" items are ever read

struct OptionMatch {
  String item;   // the whole item text
  bool hasValue = false;
  String value;  // text between the first and the second "=" of the item
};

std::optional<OptionMatch> FindOption(StringView options, StringView key) {
  for (const String& item : SplitExactly(options, u'&', kOptionItemsConsidered)) {
    if (item.empty()) continue;
    const std::vector<String> pieces = SplitText(item, u'=');
    if (automation::ToUpper(pieces[0]) != key) continue;
    OptionMatch match{item, pieces.size() > 1, {}};
    if (match.hasValue) match.value = pieces[1];
    return match;
  }
  return std::nullopt;
}

}  // namespace

std::optional<String> GetLinkOption(StringView options, StringView key, StringView defaultValue) {
  const auto match = FindOption(options, key);
  if (!match) return String(defaultValue);
  if (!match->hasValue) return std::nullopt;
  return match->value;
}

bool SetLinkOption(String& options, StringView key, StringView value) {
  const auto match = FindOption(options, key);
  if (!match) return true;
  if (!match->hasValue) return false;
  String replacement = String(key) + u"=" + String(value);
  String out;
  size_t start = 0;
  for (;;) {
    const size_t at = options.find(match->item, start);
    if (at == String::npos) break;
    out.append(options, start, at - start);
    out += replacement;
    start = at + match->item.size();
  }
  out.append(options, start, String::npos);
  options = std::move(out);
  return true;
}

}  // namespace brevalcore::commands
