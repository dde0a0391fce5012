#include "rules/history.h"

#include <cmath>
#include <cstdio>

#include "platform/automation/convert.h"
#include "storage/file_names.h"
#include "storage/ini_file.h"
#include "storage/paths.h"

namespace brevalcore::rules {

using automation::FromUtf8;

namespace {

// Val stops at the first character that cannot continue a number; it reads "." as the
// decimal point whatever the locale.
constexpr int kMaxExponent = 308;

String ProfileText(const Variant& value) {
  try {
    return automation::ToString(value);
  } catch (const automation::AutomationError&) {
    return String();  // Null and the like have no text; nothing sensible to store
  }
}

// A banner name, key or value holding a line break or a NUL would plant new sections and keys
// in the doctor's file: it is refused with error 5 before anything is written.
void RequireStorable(StringView section, StringView key, StringView value = {}) {
  storage::RequireProfileText("the banner", section);
  storage::RequireProfileText("the key", key);
  storage::RequireProfileText("the value", value);
}

std::optional<Date> AsDate(const Variant& value) {
  if (value.type() == automation::VarType::Date) return value.AsDate();
  if (value.IsString()) return ReadDate(value.AsString());
  return std::nullopt;
}

}  // namespace

String BannerName(StringView code) {
  const size_t mark = code.find(u'?');
  return String(mark == StringView::npos ? code : code.substr(0, mark));
}

String PatientKey(const cContext& context) {
  const auto facts = context.CurrentFacts();
  if (!facts || !facts->Patient()) return String();
  const auto patient = facts->Patient();
  const String id = patient->Id();
  if (id.find_first_not_of(u' ') != String::npos) return id;
  return patient->Name();
}

std::string IniFilePath(const cContext& context) {
  const auto facts = context.CurrentFacts();
  const String code = facts && facts->Doctor() ? facts->Doctor()->Code() : String();
  const std::string& folder = context.control_folder();
  return storage::GetIniFilePath(folder.empty() ? storage::GetControlFolder() : folder, code);
}

String DayText(Date date) {
  const auto p = shell::SplitDate(date);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", p.day, p.month, p.year);
  return FromUtf8(buffer);
}

String TimestampText(Date date) {
  const auto p = shell::SplitDate(date);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d %02d:%02d:%02d", p.day, p.month, p.year, p.hour, p.minute,
                p.second);
  return FromUtf8(buffer);
}

std::optional<Date> ReadDate(StringView text) {
  if (text.empty()) return std::nullopt;
  return automation::ParseDate(text);
}

Date Now(const cContext& context) { return context.clock().Now(); }

Date Today(const cContext& context) { return Date{std::floor(Now(context).value)}; }

String ReadBannerValue(StringView code, StringView key, const cContext& context) {
  return storage::ReadIni(IniFilePath(context), BannerName(code), key);
}

void WriteBannerValue(StringView code, StringView key, const Variant& value, const cContext& context) {
  const auto date = AsDate(value);
  const String text = date ? TimestampText(*date) : ProfileText(value);
  RequireStorable(BannerName(code), key, text);
  storage::WriteIni(IniFilePath(context), BannerName(code), key, text);
}

void WriteBannerKeyData(StringView code, StringView key, const Variant& value, const cContext& context) {
  const String text = ProfileText(value);
  RequireStorable(BannerName(code), key, text);
  storage::WriteIni(IniFilePath(context), BannerName(code), key, text);
}

void WriteBannerPatientKeyData(StringView code, StringView key, const Variant& value, const cContext& context) {
  const String patientKey = String(key) + u"_" + PatientKey(context);
  const String text = ProfileText(value);
  RequireStorable(BannerName(code), patientKey, text);
  storage::WriteIni(IniFilePath(context), BannerName(code), patientKey, text);
}

Variant ReadBannerKeyData(const cContext& context, StringView code, StringView key) {
  return Variant(storage::ReadIni(IniFilePath(context), BannerName(code), key));
}

Variant ReadBannerPatientKeyData(const cContext& context, StringView code, StringView key) {
  const String patientKey = String(key) + u"_" + PatientKey(context);
  return Variant(storage::ReadIni(IniFilePath(context), BannerName(code), patientKey));
}

namespace {
int32_t CountFromText(StringView text) {
  const Variant value{String(text)};
  if (text.empty() || !automation::IsNumeric(value)) return 0;
  try {
    return automation::ToLong(value);
  } catch (const automation::AutomationError&) {
    return 0;  // out of range: treated like any other unreadable count
  }
}
}  // namespace

int32_t ReadPrescriptionsCount(const cContext& context) {
  return CountFromText(ReadBannerValue(kSettingsSection, kPrescriptionsCountKey, context));
}

void CountPrescription(const cContext& context) {
  const Date today = Today(context);
  const std::string file = IniFilePath(context);
  // The day the stored count belongs to is read first; the count itself is updated under the
  // file lock, so two hosts starting prescriptions on the same day both count. (The profile
  // layer cannot read another key inside the locked step; only the first prescriptions of two
  // hosts at the very turn of a day may still both store 0.)
  const auto stored = ReadDate(storage::ReadIni(file, kSettingsSection, kCountDateKey));
  const Date day = stored ? *stored : *ReadDate(kNoDateText);
  const bool sameDay = day == today;
  storage::UpdateIniValue(file, kSettingsSection, kPrescriptionsCountKey,
                          [&](const std::optional<String>& old) -> std::optional<String> {
                            const int32_t n = sameDay ? CountFromText(old.value_or(String())) + 1 : 0;
                            return FromUtf8(std::to_string(n));
                          });
  WriteBannerValue(kSettingsSection, kCountDateKey, Variant(DayText(today)), context);
}

double LeadingNumber(StringView text) {
  std::string digits;
  size_t i = 0;
  auto skipBlanks = [&] {
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n')) ++i;
  };
  skipBlanks();
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) digits.push_back(static_cast<char>(text[i++]));
  bool point = false, any = false;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u' ' || c == u'\t') continue;  // Val skips blanks inside the number
    if (c >= u'0' && c <= u'9') {
      digits.push_back(static_cast<char>(c));
      any = true;
    } else if (c == u'.' && !point) {
      digits.push_back('.');
      point = true;
    } else {
      break;
    }
  }
  if (!any) return 0;
  // An exponent continues the number only when digits follow it.
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E' || text[i] == u'd' || text[i] == u'D')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == u'-' || text[j] == u'+')) exponent.push_back(static_cast<char>(text[j++]));
    size_t start = exponent.size();
    while (j < text.size() && text[j] >= u'0' && text[j] <= u'9' && exponent.size() < start + 4)
      exponent.push_back(static_cast<char>(text[j++]));
    if (exponent.size() > start) {
      const int e = std::stoi(exponent.substr(1));
      if (std::abs(e) <= kMaxExponent) digits += exponent;
    }
  }
  return std::strtod(digits.c_str(), nullptr);
}

void IncrementBannerCounter(StringView code, StringView key, const cContext& context) {
  if (code.empty()) return;
  RequireStorable(BannerName(code), key);
  storage::UpdateIniValue(IniFilePath(context), BannerName(code), key,
                          [](const std::optional<String>& old) -> std::optional<String> {
                            const double next = std::nearbyint(LeadingNumber(old.value_or(String())) + 1);
                            char buffer[40];
                            std::snprintf(buffer, sizeof buffer, "%.0f", next);
                            return FromUtf8(buffer);
                          });
}

}  // namespace brevalcore::rules
