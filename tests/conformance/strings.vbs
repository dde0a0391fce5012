' Strings: lengths and slices in UTF-16 units, searching, case, trimming, Replace, Split, Join
Check "Len", Len("abc"), CLng(3)
Check "Len of accented", Len("caff" & ChrW(232)), CLng(5)
Check "Len of null", Len(Null), Null
Check "Len of number", Len(123), CLng(3)
Check "Left", Left("abcdef", 2), "ab"
Check "Left beyond", Left("ab", 5), "ab"
Check "Left of null", Left(Null, 1), Null
Check "Right", Right("abcdef", 2), "ef"
Check "Mid", Mid("abcdef", 2, 3), "bcd"
Check "Mid to the end", Mid("abcdef", 4), "def"
Check "Mid past the end", Mid("abc", 5), ""
Check "Mid of null", Mid(Null, 1), Null
Check "InStr", InStr("abcabc", "c"), CLng(3)
Check "InStr from", InStr(4, "abcabc", "c"), CLng(6)
Check "InStr text compare", InStr(1, "ABC", "b", vbTextCompare), CLng(2)
Check "InStr empty needle", InStr("abc", ""), CLng(1)
Check "InStr not found", InStr("abc", "z"), CLng(0)
Check "InStr null", InStr(Null, "a"), Null
Check "InStrRev", InStrRev("abcabc", "b"), CLng(5)
Check "InStrRev from", InStrRev("abcabc", "b", 4), CLng(2)
Check "UCase accented", UCase("caff" & ChrW(232)), "CAFF" & ChrW(200)
Check "LCase", LCase("AbC"), "abc"
Check "Trim only spaces", Trim("  a" & vbTab & " "), "a" & vbTab
Check "LTrim", LTrim("  a  "), "a  "
Check "RTrim", RTrim("  a  "), "  a"
Check "Space", Space(3), "   "
Check "String of a character", String(3, "xy"), "xxx"
Check "String of a code", String(2, 65), "AA"
Check "StrReverse", StrReverse("abc"), "cba"
Check "StrComp binary", StrComp("a", "B"), 1
Check "StrComp text", StrComp("a", "B", vbTextCompare), -1
Check "StrComp equal", StrComp("x", "x"), 0
Check "Replace", Replace("aXbXc", "X", "-"), "a-b-c"
Check "Replace with count", Replace("aXbXc", "X", "-", 1, 1), "a-bXc"
Check "Replace from start drops the head", Replace("aXbXc", "X", "-", 3), "b-c"
Check "Replace text compare", Replace("aXbxc", "x", "-", 1, -1, vbTextCompare), "a-b-c"
Check "Split", Split("a,b,c", ","), Array("a", "b", "c")
Check "Split with limit", Split("a,b,c", ",", 2), Array("a", "b,c")
Check "Split of empty text", UBound(Split("", ",")), CLng(-1)
Check "Split default delimiter", Split("a b"), Array("a", "b")
Check "Join", Join(Array("a", 1, True), "-"), "a-1-Vero"
Check "Join default delimiter", Join(Array("a", "b")), "a b"
Check "Filter", Filter(Array("abc", "bcd", "xyz"), "bc"), Array("abc", "bcd")
Check "Filter excluding", Filter(Array("abc", "bcd", "xyz"), "bc", False), Array("xyz")
Check "Asc", Asc("a"), 97
Check "Chr", Chr(65), "A"
Check "ChrW", ChrW(960), ChrW(960)
Check "concatenation with numbers", "n=" & 1.5, "n=1,5"
Check "Escape", Escape("a b+c/é"), "a%20b+c/%E9"
Check "Unescape", Unescape("%41%u00E8"), "A" & ChrW(232)
Check "LenB", LenB("ab"), CLng(4)
Check "compare texts", "abc" < "abd", True
Check "compare texts case", "a" < "B", False
CheckError "Left negative", "x = Left(""a"", -1)", 5
CheckError "Mid start zero", "x = Mid(""a"", 0)", 5
CheckError "Mid null start", "x = Mid(""a"", Null)", 94
CheckError "Space null", "x = Space(Null)", 94
CheckError "StrReverse null", "x = StrReverse(Null)", 94
CheckError "Asc of empty", "x = Asc("""")", 5
CheckError "Chr above 255", "x = Chr(256)", 5
CheckError "InStr bad compare", "x = InStr(1, ""a"", ""a"", 5)", 5
CheckError "Join of text", "x = Join(""a"")", 13
Summary "strings"
