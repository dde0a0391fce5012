#include "storage/file_names.h"

#include <array>
#include <cstdio>

#include "platform/automation/error.h"

namespace brevalcore::storage {

namespace {

bool IsControl(char16_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F); }

// The characters above 0x7F that Windows-1252 holds besides Latin-1's 0xA0..0xFF.
constexpr std::array<char16_t, 27> kCp1252Extras = {
    0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x017D, 0x2018,
    0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178};

bool InCp1252(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return true;
  for (char16_t extra : kCp1252Extras)
    if (c == extra) return true;
  return false;
}

constexpr std::u16string_view kForbidden = u"<>:\"|?*";

std::string CodePoint(char16_t c) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
  return buffer;
}

// The platform keeps these names for devices, whatever the extension and the case.
bool IsReservedDeviceName(StringView name) {
  StringView base = name.substr(0, name.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.remove_suffix(1);
  const String upper = automation::ToUpper(base);
  if (upper == u"CON" || upper == u"PRN" || upper == u"AUX" || upper == u"NUL") return true;
  if (upper.size() != 4 || (upper.compare(0, 3, u"COM") != 0 && upper.compare(0, 3, u"LPT") != 0)) return false;
  const char16_t digit = upper[3];
  return (digit >= u'1' && digit <= u'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

}  // namespace

std::optional<std::string> FileNameProblem(StringView name) {
  if (name.empty()) return "is empty";
  if (name == u"." || name == u"..") return "is \".\" or \"..\", a folder, not a file";
  if (name.find_first_of(u"/\\") != StringView::npos) return "has a folder part; files go straight into the folder";
  for (char16_t c : name) {
    if (IsControl(c)) return "holds the control character " + CodePoint(c);
    if (!InCp1252(c)) return "holds " + CodePoint(c) + ", which Windows-1252 cannot represent";
    if (kForbidden.find(c) != StringView::npos)
      return std::string("holds \"") + static_cast<char>(c) + "\", which the platform forbids in file names";
  }
  if (name.back() == u'.' || name.back() == u' ') return "ends with a dot or a space, which the platform drops";
  if (IsReservedDeviceName(name)) return "is a device name the platform reserves";
  if (automation::ToUtf8(name).size() > kMaxFileNameBytes)
    return "is longer than the " + std::to_string(kMaxFileNameBytes) + " bytes a file name may have";
  return std::nullopt;
}

std::optional<std::string> ProfileTextProblem(StringView text) {
  for (char16_t c : text) {
    if (c == u'\r' || c == u'\n') return "holds a line break";
    if (c == u'\0') return "holds a NUL character";
  }
  return std::nullopt;
}

void RequireProfileText(std::string_view what, StringView text) {
  const auto problem = ProfileTextProblem(text);
  if (!problem) return;
  const int32_t number = automation::err::kInvalidProcedureCall;
  automation::Raise(number, String(),
                    automation::Ascii(automation::ErrorText(number)) + u": " +
                        automation::FromUtf8(std::string(what) + " " + QuotedName(text) + " " + *problem));
}

String FoldedName(StringView name) { return automation::ToUpper(name); }

std::string QuotedName(StringView name) { return QuotedName(automation::ToUtf8(name)); }

std::string QuotedName(std::string_view utf8Name) {
  std::string out = "\"";
  for (char c : utf8Name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\0') out += "\\0";
    else if (byte < 0x20 || byte == 0x7F) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02X", byte);
      out += buffer;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

bool IsAddress(StringView target) {
  const size_t colon = target.find(u':');
  if (colon == StringView::npos || colon < 2) return false;
  auto isAlpha = [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
  if (!isAlpha(target[0])) return false;
  for (size_t i = 1; i < colon; ++i) {
    const char16_t c = target[i];
    if (!isAlpha(c) && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'-' && c != u'.') return false;
  }
  return true;
}

String WithSlashes(StringView path) {
  String out(path);
  for (char16_t& c : out)
    if (c == u'\\') c = u'/';
  return out;
}

}  // namespace brevalcore::storage
