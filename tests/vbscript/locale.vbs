' SetLocale and GetLocale: every locale-dependent conversion and format follows the locale
' the script chose. Values are turned to text inside the script (Echo writes with the
' user's settings, as the console host does).
Dim d, t : d = DateSerial(2026, 3, 5) + TimeSerial(14, 7, 6) : t = TimeSerial(9, 5, 0)
Sub Show(id)
  Dim previous : previous = SetLocale(id)
  WScript.Echo "== " & id, previous, GetLocale(), TypeName(GetLocale())
  WScript.Echo CStr(1234.5), CStr(-0.25), CStr(1E+20), CStr(CSng(2.5)), CStr(CCur(7.25)), CStr(True), CStr(False)
  WScript.Echo CStr(d), "|" & CStr(DateSerial(2026, 3, 5)) & "|" & CStr(t) & "|" & d
  WScript.Echo FormatNumber(1234567.891), FormatNumber(-0.5), FormatNumber(0.5, 1, 0), FormatPercent(0.256)
  WScript.Echo FormatCurrency(1234.5), FormatCurrency(-1234.5), FormatCurrency(-2, 0, , 0), FormatCurrency(-2, 0, , -1)
  WScript.Echo FormatDateTime(d, vbLongDate), "|", FormatDateTime(d, vbShortDate), FormatDateTime(d, vbLongTime), FormatDateTime(d, vbShortTime)
  WScript.Echo MonthName(3), MonthName(3, True), MonthName(12), WeekdayName(1), WeekdayName(5, True), WeekdayName(1, False, vbUseSystemDayOfWeek), Weekday(d, vbUseSystemDayOfWeek)
  WScript.Echo CStr(CDbl(FormatNumber(-1234.5, 1))), CStr(CCur(FormatCurrency(-1234.5))), IsNumeric("1.234,5"), IsNumeric("1,234.5"), IsNumeric("1,5"), IsNumeric("1.5"), IsNumeric("1" & Chr(160) & "234,5")
  WScript.Echo Day(CDate("1/2/2026")), Month(CDate("1/2/2026")), Month(CDate("13/2/2026")), IsDate("2/13/2026"), IsDate("13/2/2026"), CStr(CDate("2026-03-05"))
  WScript.Echo CBool(CStr(True)), CBool(CStr(False)), CStr(CDate(CStr(d)) = d), CStr(CDbl(CStr(1234.5)) = 1234.5)
End Sub
WScript.Echo "default", GetLocale()
Show 1033
Show 2057
Show 1040
Show 1031
Show 1036
Show 3082
Show 1043
Show 1046
WScript.Echo "names", SetLocale("en-us"), SetLocale("EN-GB"), SetLocale("de"), SetLocale("it-it"), GetLocale()
WScript.Echo "text number", SetLocale("1036"), GetLocale(), SetLocale(0), GetLocale()
SetLocale 1033 : WScript.Echo "as a statement", GetLocale()
On Error Resume Next
x = SetLocale(12345) : WScript.Echo "unknown id", Err.Number, GetLocale() : Err.Clear
x = SetLocale("xx-yy") : WScript.Echo "unknown name", Err.Number, GetLocale() : Err.Clear
x = SetLocale(Null) : WScript.Echo "null", Err.Number, GetLocale() : Err.Clear
