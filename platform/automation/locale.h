#pragma once
// The regional settings every text conversion reads. The control runs with Italian settings,
// as its users' machines do; this is the one place that holds them.
#include "platform/automation/text.h"

namespace brevalcore::automation {

struct Locale {
  char16_t decimal = u',';
  char16_t thousands = u'.';
  char16_t dateSeparator = u'/';
  char16_t timeSeparator = u':';
  String currencySymbol = u"\u20AC";
  String trueText = u"Vero";    // CStr(True)
  String falseText = u"Falso";  // CStr(False)
  const char16_t* monthNames[12] = {u"gennaio", u"febbraio", u"marzo", u"aprile", u"maggio",
                                    u"giugno", u"luglio", u"agosto", u"settembre", u"ottobre",
                                    u"novembre", u"dicembre"};
  const char16_t* monthAbbreviations[12] = {u"gen", u"feb", u"mar", u"apr", u"mag", u"giu",
                                            u"lug", u"ago", u"set", u"ott", u"nov", u"dic"};
  // Sunday first, as Weekday numbers them.
  const char16_t* dayNames[7] = {u"domenica", u"luned\u00EC", u"marted\u00EC", u"mercoled\u00EC",
                                 u"gioved\u00EC", u"venerd\u00EC", u"sabato"};
  const char16_t* dayAbbreviations[7] = {u"dom", u"lun", u"mar", u"mer", u"gio", u"ven", u"sab"};
};

// The settings in force (Italian).
const Locale& CurrentLocale();

}  // namespace brevalcore::automation
