#include "storage/ini_encoding.h"

namespace brevalcore::storage {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

automation::String Utf16Units(std::string_view bytes, bool bigEndian) {
  automation::String units(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    const auto lo = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 1 : 0)]);
    const auto hi = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 0 : 1)]);
    units[i] = static_cast<char16_t>(lo | hi << 8);
  }
  return units;
}

void AppendUtf16Units(automation::StringView units, bool bigEndian, Bytes& out) {
  const size_t at = out.size();
  out.resize(at + units.size() * 2);
  for (size_t i = 0; i < units.size(); ++i) {
    const char lo = static_cast<char>(units[i] & 0xFF), hi = static_cast<char>(units[i] >> 8);
    out[at + 2 * i] = bigEndian ? hi : lo;
    out[at + 2 * i + 1] = bigEndian ? lo : hi;
  }
}

}  // namespace

IniEncoding DetectIniEncoding(std::string_view fileBytes) {
  if (fileBytes.starts_with(kUtf8Bom)) return IniEncoding::Utf8Bom;
  if (fileBytes.starts_with(kUtf16LeBom)) return IniEncoding::Utf16Le;
  if (fileBytes.starts_with(kUtf16BeBom)) return IniEncoding::Utf16Be;
  return IniEncoding::Ansi;
}

TextForm TextFormOf(IniEncoding encoding) {
  return encoding == IniEncoding::Ansi ? TextForm::Cp1252 : TextForm::Utf8;
}

LineEnd DetectLineEnd(std::string_view text) {
  if (text.find('\r') != std::string_view::npos) return LineEnd::CrLf;
  return text.find('\n') != std::string_view::npos ? LineEnd::Lf : LineEnd::CrLf;
}

IniText DecodeIniFile(std::string_view fileBytes) {
  IniText out;
  out.encoding = DetectIniEncoding(fileBytes);
  switch (out.encoding) {
    case IniEncoding::Ansi:
      out.text.assign(fileBytes);
      break;
    case IniEncoding::Utf8Bom:
      out.text.assign(fileBytes.substr(kUtf8Bom.size()));
      break;
    case IniEncoding::Utf16Le:
    case IniEncoding::Utf16Be:
      out.text = automation::ToUtf8(Utf16Units(fileBytes.substr(2), out.encoding == IniEncoding::Utf16Be));
      break;
  }
  out.eol = DetectLineEnd(out.text);
  return out;
}

void EncodeIniFile(IniEncoding encoding, std::string_view text, Bytes& out) {
  out.clear();
  switch (encoding) {
    case IniEncoding::Ansi:
      out.assign(text);
      return;
    case IniEncoding::Utf8Bom:
      out.reserve(kUtf8Bom.size() + text.size());
      out.append(kUtf8Bom).append(text);
      return;
    case IniEncoding::Utf16Le:
    case IniEncoding::Utf16Be: {
      const bool bigEndian = encoding == IniEncoding::Utf16Be;
      out.assign(bigEndian ? kUtf16BeBom : kUtf16LeBom);
      AppendUtf16Units(automation::FromUtf8(text), bigEndian, out);
      return;
    }
  }
}

Bytes IniArgument(automation::StringView text, IniEncoding encoding) {
  Bytes ansi = automation::ToCp1252(text);
  if (encoding == IniEncoding::Ansi) return ansi;
  return automation::ToUtf8(automation::FromCp1252(ansi));
}

automation::String IniResult(std::string_view text, IniEncoding encoding) {
  if (encoding == IniEncoding::Ansi) return automation::FromCp1252(text);
  return automation::FromCp1252(automation::ToCp1252(automation::FromUtf8(text)));
}

}  // namespace brevalcore::storage
