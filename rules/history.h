#pragma once
// The banner history kept in the doctor's profile file: visualisation dates, counters, key
// data per banner and per patient, and the daily prescription counter. Every read goes to the
// file and every write goes to it at once; nothing is cached here. "Today" and "now" come from
// the context's clock. Storage failures never raise: they read as empty texts and failed writes
// are dropped, as the rest of the control expects. A banner name, key or value that holds a
// line break or a NUL is refused with "Invalid procedure call or argument" (5), naming it,
// before anything is written: it would plant new sections and keys in the file.
#include <optional>
#include <string>

#include "platform/automation/variant.h"
#include "rules/context.h"

namespace brevalcore::rules {

// The settings section shared with the control ("BVC") and its keys used here.
inline constexpr char16_t kSettingsSection[] = u"BVC";
inline constexpr char16_t kPrescriptionsCountKey[] = u"PrescriptionsCount";
inline constexpr char16_t kCountDateKey[] = u"Date";
// Keys written in a banner's own section.
inline constexpr char16_t kShowKey[] = u"SHOW";
inline constexpr char16_t kLastShownKey[] = u"DATA";
inline constexpr char16_t kLastDateKey[] = u"LASTDATE";
inline constexpr char16_t kFirstDateKey[] = u"FIRSTDATE";
// What "no date" reads as for the last visualisation of a banner.
inline constexpr char16_t kNoDateText[] = u"01/01/2000";

// The part of a banner code before the first "?": the banner's page and INI section name.
String BannerName(StringView code);
// Patient.Id when it is not blank (untrimmed), else Patient.Name.
String PatientKey(const cContext& context);
// The doctor's profile file: the context's control folder + "BVC_" + Doctor.Code + ".INI".
std::string IniFilePath(const cContext& context);

// "dd/mm/yyyy" and "dd/mm/yyyy hh:nn:ss".
String DayText(Date date);
String TimestampText(Date date);
// A stored text read day first, with or without a time; nullopt when it is not a date.
std::optional<Date> ReadDate(StringView text);
Date Today(const cContext& context);
Date Now(const cContext& context);

String ReadBannerValue(StringView code, StringView key, const cContext& context);
// Dates (a Date, or a text that reads as one) are written in the timestamp form; anything
// else as its text.
void WriteBannerValue(StringView code, StringView key, const Variant& value, const cContext& context);
void WriteBannerKeyData(StringView code, StringView key, const Variant& value, const cContext& context);
void WriteBannerPatientKeyData(StringView code, StringView key, const Variant& value, const cContext& context);
Variant ReadBannerKeyData(const cContext& context, StringView code, StringView key);
Variant ReadBannerPatientKeyData(const cContext& context, StringView code, StringView key);

// "PrescriptionsCount" of section "BVC" when numeric, else 0.
int32_t ReadPrescriptionsCount(const cContext& context);
// Counts a started prescription: 0 for the first of the day, then 1, 2, ...
void CountPrescription(const cContext& context);
// Adds one to a counter of the banner's section. The read and the write happen under the
// profile file's lock, so hosts of the same doctor never lose an increment. An empty code
// does nothing.
void IncrementBannerCounter(StringView code, StringView key, const cContext& context);

// The leading number of a text as the platform's Val reads it (0 when there is none).
double LeadingNumber(StringView text);

}  // namespace brevalcore::rules
