// The regional settings of the locales a script may choose with SetLocale, as the platform's
// defaults give them: separators, date order and patterns, currency placement, the Boolean
// texts and the names of months and days.
#include "platform/automation/locale.h"

#include <algorithm>
#include <span>
#include <utility>
#include <vector>

namespace brevalcore::automation {
namespace {

using MonthTexts = std::span<const char16_t* const, 12>;
using DayTexts = std::span<const char16_t* const, 7>;

// The names of months and days, full and abbreviated, Sunday first.
void SetNames(Locale& l, MonthTexts months, MonthTexts monthsShort, DayTexts days, DayTexts daysShort) {
  std::copy(months.begin(), months.end(), l.monthNames);
  std::copy(monthsShort.begin(), monthsShort.end(), l.monthAbbreviations);
  std::copy(days.begin(), days.end(), l.dayNames);
  std::copy(daysShort.begin(), daysShort.end(), l.dayAbbreviations);
}

Locale English(int32_t lcid, const char16_t* name) {
  Locale l;
  l.lcid = lcid;
  l.name = name;
  l.decimal = u'.';
  l.thousands = u',';
  l.trueText = u"True";
  l.falseText = u"False";
  const char16_t* months[12] = {u"January", u"February", u"March", u"April", u"May", u"June", u"July",
                                u"August", u"September", u"October", u"November", u"December"};
  const char16_t* monthsShort[12] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                     u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
  const char16_t* days[7] = {u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday"};
  const char16_t* daysShort[7] = {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};
  SetNames(l, months, monthsShort, days, daysShort);
  return l;
}

Locale UnitedStates() {
  Locale l = English(1033, u"en-us");
  l.dateOrder = DateOrder::MonthDayYear;
  l.shortDate = u"M/d/yyyy";
  l.longDate = u"dddd, MMMM d, yyyy";
  l.longTime = u"h:mm:ss tt";
  l.am = u"AM";
  l.pm = u"PM";
  l.currencySymbol = u"$";
  l.currencyPositive = 0;
  l.currencyNegative = 0;
  l.firstDayOfWeek = 1;
  return l;
}

Locale Britain() {
  Locale l = English(2057, u"en-gb");
  l.longDate = u"dd MMMM yyyy";
  l.am = u"AM";
  l.pm = u"PM";
  l.currencySymbol = u"\u00A3";
  l.currencyPositive = 0;
  l.currencyNegative = 1;
  return l;
}

Locale German() {
  Locale l;
  l.lcid = 1031;
  l.name = u"de-de";
  l.dateSeparator = u'.';
  l.shortDate = u"dd.MM.yyyy";
  l.longDate = u"dddd, d. MMMM yyyy";
  l.currencyPositive = 3;
  l.currencyNegative = 8;
  l.trueText = u"Wahr";
  l.falseText = u"Falsch";
  const char16_t* months[12] = {u"Januar", u"Februar", u"M\u00E4rz", u"April", u"Mai", u"Juni", u"Juli",
                                u"August", u"September", u"Oktober", u"November", u"Dezember"};
  const char16_t* monthsShort[12] = {u"Jan", u"Feb", u"Mrz", u"Apr", u"Mai", u"Jun",
                                     u"Jul", u"Aug", u"Sep", u"Okt", u"Nov", u"Dez"};
  const char16_t* days[7] = {u"Sonntag", u"Montag", u"Dienstag", u"Mittwoch", u"Donnerstag", u"Freitag", u"Samstag"};
  const char16_t* daysShort[7] = {u"So", u"Mo", u"Di", u"Mi", u"Do", u"Fr", u"Sa"};
  SetNames(l, months, monthsShort, days, daysShort);
  return l;
}

Locale French() {
  Locale l;
  l.lcid = 1036;
  l.name = u"fr-fr";
  l.thousands = u'\u00A0';
  l.currencyPositive = 3;
  l.currencyNegative = 8;
  l.trueText = u"Vrai";
  l.falseText = u"Faux";
  const char16_t* months[12] = {u"janvier", u"f\u00E9vrier", u"mars", u"avril", u"mai", u"juin", u"juillet",
                                u"ao\u00FBt", u"septembre", u"octobre", u"novembre", u"d\u00E9cembre"};
  const char16_t* monthsShort[12] = {u"janv.", u"f\u00E9vr.", u"mars", u"avr.", u"mai", u"juin",
                                     u"juil.", u"ao\u00FBt", u"sept.", u"oct.", u"nov.", u"d\u00E9c."};
  const char16_t* days[7] = {u"dimanche", u"lundi", u"mardi", u"mercredi", u"jeudi", u"vendredi", u"samedi"};
  const char16_t* daysShort[7] = {u"dim.", u"lun.", u"mar.", u"mer.", u"jeu.", u"ven.", u"sam."};
  SetNames(l, months, monthsShort, days, daysShort);
  return l;
}

Locale Spanish(int32_t lcid) {
  Locale l;
  l.lcid = lcid;
  l.name = u"es-es";
  l.longDate = u"dddd, d' de 'MMMM' de 'yyyy";
  l.longTime = u"H:mm:ss";
  l.currencyPositive = 3;
  l.currencyNegative = 8;
  l.trueText = u"Verdadero";
  l.falseText = u"Falso";
  const char16_t* months[12] = {u"enero", u"febrero", u"marzo", u"abril", u"mayo", u"junio", u"julio",
                                u"agosto", u"septiembre", u"octubre", u"noviembre", u"diciembre"};
  const char16_t* monthsShort[12] = {u"ene", u"feb", u"mar", u"abr", u"may", u"jun",
                                     u"jul", u"ago", u"sep", u"oct", u"nov", u"dic"};
  const char16_t* days[7] = {u"domingo", u"lunes", u"martes", u"mi\u00E9rcoles", u"jueves", u"viernes", u"s\u00E1bado"};
  const char16_t* daysShort[7] = {u"dom", u"lun", u"mar", u"mi\u00E9", u"jue", u"vie", u"s\u00E1b"};
  SetNames(l, months, monthsShort, days, daysShort);
  return l;
}

Locale Dutch() {
  Locale l;
  l.lcid = 1043;
  l.name = u"nl-nl";
  l.dateSeparator = u'-';
  l.shortDate = u"d-M-yyyy";
  l.longTime = u"H:mm:ss";
  l.currencyPositive = 2;
  l.currencyNegative = 12;
  l.trueText = u"Waar";
  l.falseText = u"Onwaar";
  const char16_t* months[12] = {u"januari", u"februari", u"maart", u"april", u"mei", u"juni", u"juli",
                                u"augustus", u"september", u"oktober", u"november", u"december"};
  const char16_t* monthsShort[12] = {u"jan", u"feb", u"mrt", u"apr", u"mei", u"jun",
                                     u"jul", u"aug", u"sep", u"okt", u"nov", u"dec"};
  const char16_t* days[7] = {u"zondag", u"maandag", u"dinsdag", u"woensdag", u"donderdag", u"vrijdag", u"zaterdag"};
  const char16_t* daysShort[7] = {u"zo", u"ma", u"di", u"wo", u"do", u"vr", u"za"};
  SetNames(l, months, monthsShort, days, daysShort);
  return l;
}

Locale Brazilian() {
  Locale l;
  l.lcid = 1046;
  l.name = u"pt-br";
  l.longDate = u"dddd, d' de 'MMMM' de 'yyyy";
  l.currencySymbol = u"R$";
  l.currencyPositive = 2;
  l.currencyNegative = 9;
  l.trueText = u"Verdadeiro";
  l.falseText = u"Falso";
  l.firstDayOfWeek = 1;
  const char16_t* months[12] = {u"janeiro", u"fevereiro", u"mar\u00E7o", u"abril", u"maio", u"junho", u"julho",
                                u"agosto", u"setembro", u"outubro", u"novembro", u"dezembro"};
  const char16_t* monthsShort[12] = {u"jan", u"fev", u"mar", u"abr", u"mai", u"jun",
                                     u"jul", u"ago", u"set", u"out", u"nov", u"dez"};
  const char16_t* days[7] = {u"domingo", u"segunda-feira", u"ter\u00E7a-feira", u"quarta-feira",
                             u"quinta-feira", u"sexta-feira", u"s\u00E1bado"};
  const char16_t* daysShort[7] = {u"dom", u"seg", u"ter", u"qua", u"qui", u"sex", u"s\u00E1b"};
  SetNames(l, months, monthsShort, days, daysShort);
  return l;
}

struct Known {
  std::vector<Locale> locales;
  // Names a script may give instead of a number, each with the identifier it stands for.
  std::vector<std::pair<const char16_t*, int32_t>> names;
};

const Known& KnownLocales() {
  static const Known known = [] {
    Known k;
    k.locales = {Locale{} /* Italian: the defaults in locale.h */, UnitedStates(), Britain(), German(), French(), Spanish(3082), Spanish(1034), Dutch(),
                 Brazilian()};
    k.names = {{u"it", 1040}, {u"it-it", 1040}, {u"en-us", 1033}, {u"en-gb", 2057}, {u"de", 1031},
               {u"de-de", 1031}, {u"fr", 1036}, {u"fr-fr", 1036}, {u"es", 3082}, {u"es-es", 3082},
               {u"nl", 1043}, {u"nl-nl", 1043}, {u"pt-br", 1046}};
    return k;
  }();
  return known;
}

thread_local const Locale* current = nullptr;

}  // namespace

const Locale& UserLocale() { return KnownLocales().locales.front(); }

const Locale& CurrentLocale() { return current ? *current : UserLocale(); }

const Locale& SetCurrentLocale(const Locale& locale) {
  const Locale& previous = CurrentLocale();
  current = &locale;
  return previous;
}

const Locale* FindLocale(int32_t lcid) {
  if (lcid == 0) return &UserLocale();
  for (const Locale& l : KnownLocales().locales)
    if (l.lcid == lcid) return &l;
  return nullptr;
}

const Locale* FindLocale(StringView name) {
  for (const auto& [known, lcid] : KnownLocales().names)
    if (EqualsNoCase(name, known)) return FindLocale(lcid);
  return nullptr;
}

}  // namespace brevalcore::automation
