' Dates: serials, parts, arithmetic, DateAdd, DateDiff, DatePart, formats, the range limits
Dim d : d = DateSerial(2026, 3, 5) + TimeSerial(8, 7, 6)
Check "DateSerial", DateSerial(2026, 1, 31), CDate("31/01/2026")
Check "DateSerial month overflow", DateSerial(2026, 13, 1), DateSerial(2027, 1, 1)
Check "DateSerial day zero", DateSerial(2026, 3, 0), DateSerial(2026, 2, 28)
Check "DateSerial two-digit year", Year(DateSerial(29, 1, 1)), 2029
Check "DateSerial 1930 pivot", Year(DateSerial(30, 1, 1)), 1930
Check "TimeSerial", TimeSerial(25, 0, 0), CDate(1 + 1 / 24)
Check "Year", Year(d), 2026
Check "Month", Month(d), 3
Check "Day", Day(d), 5
Check "Hour", Hour(d), 8
Check "Minute", Minute(d), 7
Check "Second", Second(d), 6
Check "Weekday", Weekday(d), 5
Check "Weekday from Monday", Weekday(d, vbMonday), 4
Check "Weekday of the regional first day", Weekday(d, vbUseSystemDayOfWeek), 4
Check "DateAdd month clips the day", DateAdd("m", 1, #1/31/2026#), #2/28/2026#
Check "DateAdd year", DateAdd("yyyy", 1, #2/29/2024#), #2/28/2025#
Check "DateAdd days", DateAdd("d", -1, #3/1/2026#), #2/28/2026#
Check "DateAdd hours over midnight", DateAdd("h", 20, d), DateSerial(2026, 3, 6) + TimeSerial(4, 7, 6)
Check "DateAdd weeks", DateAdd("ww", 2, #1/1/2026#), #1/15/2026#
Check "DateAdd quarter", DateAdd("q", 1, #11/30/2026#), #2/28/2027#
Check "DateAdd of a null date", DateAdd("d", 1, Null), Null
Check "DateDiff days", DateDiff("d", #1/1/2026#, #12/31/2026#), CLng(364)
Check "DateDiff months ignores days", DateDiff("m", #1/31/2026#, #2/1/2026#), CLng(1)
Check "DateDiff years", DateDiff("yyyy", #12/31/2025#, #1/1/2026#), CLng(1)
Check "DateDiff negative", DateDiff("d", #1/2/2026#, #1/1/2026#), CLng(-1)
Check "DateDiff hours", DateDiff("h", #1/1/2026 23:59#, #1/2/2026 0:01#), CLng(1)
Check "DateDiff weeks", DateDiff("ww", #1/3/2026#, #1/4/2026#), CLng(1)
Check "DateDiff of null", DateDiff("d", Null, d), Null
Check "DatePart quarter", DatePart("q", d), 1
Check "DatePart day of year", DatePart("y", d), 64
Check "DatePart week", DatePart("ww", #1/4/2026#), 2
Check "DateValue", DateValue("05/03/2026 10:00"), DateSerial(2026, 3, 5)
Check "TimeValue", TimeValue("05/03/2026 10:20:30"), TimeSerial(10, 20, 30)
Check "date literal is month first", #3/5/2026#, DateSerial(2026, 3, 5)
Check "date literal with time", Hour(#3/5/2026 3:04:05 PM#), 15
Check "date plus a day", d + 1, DateAdd("d", 1, d)
Check "CDbl of date", CDbl(#1/1/2026#), CDbl(46023)
Check "date before the epoch", CDbl(#12/29/1899#), CDbl(-1)
Check "first day with a time", Year(CDate("2:0.1 100")), 100
Check "first day round trip", CDate(CDbl(CDate("2:0.1 100"))), CDate("01/01/0100 02:00:00")
Check "first day plus an hour", Hour(DateAdd("h", 1, CDate("1/1/100 2:00"))), 3
Check "last second", CStr(#12/31/9999 23:59:59#), "31/12/9999 23:59:59"
Check "FormatDateTime long", FormatDateTime(d, vbLongDate), "gioved" & ChrW(236) & " 5 marzo 2026"
Check "FormatDateTime short", FormatDateTime(d, vbShortDate), "05/03/2026"
Check "FormatDateTime long time", FormatDateTime(d, vbLongTime), "08:07:06"
Check "FormatDateTime short time", FormatDateTime(d, vbShortTime), "08:07"
Check "MonthName", MonthName(3), "marzo"
Check "MonthName short", MonthName(12, True), "dic"
Check "WeekdayName", WeekdayName(1), "domenica"
Check "WeekdayName from Monday", WeekdayName(1, False, vbMonday), "luned" & ChrW(236)
Check "WeekdayName regional", WeekdayName(1, True, vbUseSystemDayOfWeek), "lun"
Check "IsDate", IsDate("29/02/2026"), False
Check "IsDate leap", IsDate("29/02/2024"), True
CheckError "DateAdd past the end", "x = DateAdd(""s"", 1, #12/31/9999 23:59:59#)", 5
CheckError "DateAdd before the start", "x = DateAdd(""d"", -1, #1/1/100#)", 5
CheckError "DateAdd bad interval", "x = DateAdd(""z"", 1, Date)", 5
CheckError "DateAdd null number", "x = DateAdd(""d"", Null, Date)", 94
CheckError "DateSerial past the end", "x = DateSerial(10000, 1, 1)", 5
CheckError "MonthName 13", "x = MonthName(13)", 5
CheckError "CDate of a bad day", "x = CDate(""30/02/2026"")", 13
Summary "dates"
