' Dates at the ends of the range: 1 January 100 with a time of day, 31 December 9999
Dim lo, hi
lo = CDate("2:0.1 100")
WScript.Echo lo, Year(lo), Month(lo), Day(lo), Hour(lo), Minute(lo), TypeName(lo)
WScript.Echo CDbl(lo), CDate(CDbl(lo)) = lo, CDate(CStr(lo)) = lo, CStr(CDate(CDbl(lo)))
WScript.Echo DateAdd("h", 1, lo), DateAdd("d", 1, lo), DateAdd("n", -120, lo), DateAdd("yyyy", 1, lo)
WScript.Echo Weekday(lo), DatePart("y", lo), DateDiff("d", lo, #1/1/101#), DateValue(lo), TimeValue(lo)
WScript.Echo #1/1/100#, CDate(-657434), CDate(-657434.5), CDate(-657434.999988426), DateSerial(100, 1, 1) + TimeSerial(23, 59, 59)
WScript.Echo FormatDateTime(lo, vbLongDate), FormatDateTime(lo, vbShortTime), IsDate(lo), IsDate("1/1/100 12:00")
hi = #12/31/9999 23:59:59#
WScript.Echo hi, CDbl(hi), CDate(CDbl(hi)) = hi, DateAdd("s", -1, hi), DateSerial(9999, 12, 31), Year(hi)
WScript.Echo DateDiff("s", #12/31/9999#, hi), DateDiff("d", lo, hi), DateAdd("yyyy", -9899, hi)
On Error Resume Next
x = DateAdd("s", 1, hi) : WScript.Echo "past the last second", Err.Number : Err.Clear
x = DateAdd("d", -1, lo) : WScript.Echo "before the first day", Err.Number : Err.Clear
x = DateAdd("yyyy", -1, lo) : WScript.Echo "year before 100", Err.Number : Err.Clear
x = CDate(-657435) : WScript.Echo "serial before the first day", Err.Number : Err.Clear
x = CDate(2958466) : WScript.Echo "serial after the last day", Err.Number : Err.Clear
x = DateSerial(10000, 1, 1) : WScript.Echo "DateSerial(10000)", Err.Number : Err.Clear
x = DateSerial(99, 12, 31) : WScript.Echo "two-digit year", Year(x), Err.Number : Err.Clear
x = CDate("31/12/99") : WScript.Echo "two-digit year in text", Year(x), Err.Number : Err.Clear
