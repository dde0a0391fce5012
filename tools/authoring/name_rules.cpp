#include "tools/authoring/name_rules.h"

#include <array>

namespace brevalcore::authoring {

namespace {

constexpr size_t kMaxNameLength = 255;  // the package update reads names into 256 characters
constexpr std::u16string_view kForbidden = u"<>:\"/\\|?*";

bool IsReservedDeviceName(StringView name) {
  const String stem = automation::ToUpper(name.substr(0, name.find(u'.')));
  static constexpr std::array<std::u16string_view, 4> kPlain = {u"CON", u"PRN", u"AUX", u"NUL"};
  for (auto reserved : kPlain)
    if (stem == reserved) return true;
  return stem.size() == 4 && (stem.starts_with(u"COM") || stem.starts_with(u"LPT")) && stem[3] >= u'1' &&
         stem[3] <= u'9';
}

}  // namespace

std::optional<std::string> FileNameProblem(StringView name) {
  if (name.empty()) return "the name is empty";
  if (name.find_first_of(u"/\\") != StringView::npos)
    return "the name has a folder part; the control never creates folders, so the install fails there";
  if (name == u"." || name == u"..") return "'.' and '..' name no file";
  if (name.size() > kMaxNameLength) return "the name is longer than 255 characters";
  if (automation::FromCp1252(automation::ToCp1252(name)) != name)
    return "the name has characters outside Windows-1252, which the control reads as '?'";
  for (const char16_t c : name) {
    if (c < 0x20) return "the name holds a control character";
    if (kForbidden.find(c) != std::u16string_view::npos)
      return std::string("the name holds '") + static_cast<char>(c) + "', which file names on the platform cannot";
  }
  if (name.back() == u'.' || name.back() == u' ') return "the name ends with a dot or a space, which the platform drops";
  if (IsReservedDeviceName(name)) return "the name is a device name on the platform (CON, PRN, AUX, NUL, COM1-9, LPT1-9)";
  return std::nullopt;
}

NameMatch ResolveFileName(std::span<const String> names, StringView wanted) {
  NameMatch match;
  for (const String& name : names) {
    if (!automation::EqualsNoCase(name, wanted)) continue;
    if (match.state == NameMatch::State::Missing) {
      match = {NameMatch::State::Found, name, {}};
    } else {
      match.state = NameMatch::State::Ambiguous;
      match.other = name;
      return match;
    }
  }
  return match;
}

}  // namespace brevalcore::authoring
