' Regional settings: GetLocale, SetLocale by number and name, and what each setting changes
Check "default locale", GetLocale(), CLng(1040)
Check "SetLocale answers the previous one", SetLocale(1033), CLng(1040)
Check "now in force", GetLocale(), CLng(1033)
Check "en-us decimal point", CStr(1.5), "1.5"
Check "en-us boolean", CStr(True), "True"
Check "en-us date", CStr(DateSerial(2026, 3, 5)), "3/5/2026"
Check "en-us time", CStr(TimeSerial(15, 4, 5)), "3:04:05 PM"
Check "en-us date order in text", Month(CDate("3/5/2026")), 3
Check "en-us thousands", CDbl("1,234.5"), 1234.5
Check "en-us IsNumeric", IsNumeric("1.234,5"), False
Check "en-us FormatNumber", FormatNumber(1234.5), "1,234.50"
Check "en-us FormatCurrency", FormatCurrency(-1234.5), "($1,234.50)"
Check "en-us long date", FormatDateTime(DateSerial(2026, 3, 5), vbLongDate), "Thursday, March 5, 2026"
Check "en-us month name", MonthName(1), "January"
Check "en-us weekday name", WeekdayName(2, True), "Mon"
Check "en-us first day of the week", WeekdayName(1, False, vbUseSystemDayOfWeek), "Sunday"
Check "en-us CBool of its word", CBool("False"), False
Check "by name", SetLocale("de-de"), CLng(1033)
Check "de date", CStr(DateSerial(2026, 3, 5)), "05.03.2026"
Check "de currency", FormatCurrency(1234.5), "1.234,50 " & ChrW(8364)
Check "de boolean", CStr(False), "Falsch"
Check "de month", MonthName(3), "M" & ChrW(228) & "rz"
Check "de month in text", Month(CDate("5. M" & ChrW(228) & "rz 2026")), 3
Check "de long date", FormatDateTime(DateSerial(2026, 3, 5), vbLongDate), "Donnerstag, 5. M" & ChrW(228) & "rz 2026"
SetLocale "fr-fr"
Check "fr thousands", FormatNumber(1234567), "1" & ChrW(160) & "234" & ChrW(160) & "567,00"
Check "fr weekday", WeekdayName(5), "jeudi"
Check "fr boolean", CStr(True), "Vrai"
SetLocale 2057
Check "en-gb date", CStr(DateSerial(2026, 3, 5)), "05/03/2026"
Check "en-gb currency", FormatCurrency(-1), "-" & ChrW(163) & "1.00"
Check "en-gb date order", Month(CDate("3/5/2026")), 5
SetLocale 3082
Check "es long date", FormatDateTime(DateSerial(2026, 3, 5), vbLongDate), "jueves, 5 de marzo de 2026"
Check "es time", FormatDateTime(TimeSerial(9, 5, 0), vbLongTime), "9:05:00"
SetLocale 1043
Check "nl date", CStr(DateSerial(2026, 3, 5)), "5-3-2026"
Check "nl negative currency", FormatCurrency(-1), ChrW(8364) & " -1,00"
SetLocale 1046
Check "pt-br currency", FormatCurrency(1), "R$ 1,00"
Check "pt-br weekday", WeekdayName(2), "segunda-feira"
Check "back to the user's", SetLocale(0), CLng(1046)
Check "user's again", CStr(1.5), "1,5"
Check "Italian long date", FormatDateTime(DateSerial(2026, 3, 5), vbLongDate), "gioved" & ChrW(236) & " 5 marzo 2026"
Check "Italian currency", FormatCurrency(-1234.5), "-" & ChrW(8364) & " 1.234,50"
CheckError "unknown locale", "x = SetLocale(9999)", 5
CheckError "unknown name", "x = SetLocale(""zz"")", 5
Check "unchanged after a refusal", GetLocale(), CLng(1040)
Summary "locale"
