' Conversions: the C functions, rounding, text forms under the default Italian settings
Check "CInt rounds half to even", CInt(2.5), 2
Check "CInt rounds half to even up", CInt(3.5), 4
Check "CInt of negative half", CInt(-2.5), -2
Check "CLng of text", CLng("1.000"), CLng(1000)
Check "CInt of decimal comma text", CInt("2,5"), 2
Check "CDbl of text", CDbl("1,25"), 1.25
Check "CDbl of hex text", CDbl("&H10"), CDbl(16)
Check "CDbl of boolean", CDbl(True), CDbl(-1)
Check "CByte of true", CByte(True), CByte(255)
Check "CByte rounds", CByte(2.5), CByte(2)
Check "CBool of text true", CBool("True"), True
Check "CBool of locale text", CBool("Vero"), True
Check "CBool of neutral text", CBool("#TRUE#"), True
Check "CBool of neutral false", CBool("#false#"), False
Check "CBool of number text", CBool("0"), False
Check "CBool of fraction", CBool(0.1), True
Check "CStr of true", CStr(True), "Vero"
Check "CStr of double", CStr(1.5), "1,5"
Check "CStr of large double", CStr(1E+16), "1E+16"
Check "CStr of small double", CStr(0.00001), "1E-05"
Check "CStr of single", CStr(CSng(1) / 3), "0,3333333"
Check "CStr of currency", CStr(CCur(1234567.891)), "1234567,891"
Check "CStr of date", CStr(DateSerial(2026, 3, 5)), "05/03/2026"
Check "CStr of time", CStr(TimeSerial(7, 5, 9)), "07:05:09"
Check "CStr of date and time", CStr(DateSerial(2026, 3, 5) + TimeSerial(23, 0, 0)), "05/03/2026 23:00:00"
Check "CDate of text", CDate("31/12/2026"), DateSerial(2026, 12, 31)
Check "CDate swaps an impossible month", CDate("12/31/2026"), DateSerial(2026, 12, 31)
Check "CDate of a number in text", CDate("1"), DateSerial(1899, 12, 31)
Check "CDate of month name", CDate("5 marzo 2026"), DateSerial(2026, 3, 5)
Check "CDate of english month name", CDate("March 5, 2026"), DateSerial(2026, 3, 5)
Check "CDate of iso date", CDate("2026-03-05"), DateSerial(2026, 3, 5)
Check "CDate of time with pm", CDate("3:04 PM"), TimeSerial(15, 4, 0)
Check "CCur exact at the top", CStr(CCur("922337203685477,5807")), "922337203685477,5807"
Check "CCur banker's rounding", CCur("0,00025"), CCur("0,0002")
Check "CSng keeps seven digits", CStr(CSng(123456789)), "1,234568E+08"
Check "CSng type", TypeName(CSng("1,5")), "Single"
Check "Int of negative", Int(-2.5), CDbl(-3)
Check "Fix of negative", Fix(-2.5), CDbl(-2)
Check "Int keeps currency", TypeName(Int(CCur(2.5))), "Currency"
Check "Round of boolean", Round(True), True
Check "Round half even", Round(0.5), CDbl(0)
Check "Round to decimals", Round(1.2345, 2), 1.23
Check "Hex of negative integer", Hex(-1), "FFFF"
Check "Hex of negative long", Hex(CLng(-1)), "FFFFFFFF"
Check "Oct", Oct(8), "10"
Check "hex literal with long suffix", &HFFFF&, CLng(65535)
Check "hex literal as integer", &HFFFF, -1
Check "octal literal", &O777, 511
Check "Asc of first character", Asc("ABC"), 65
Check "AscW above 255", AscW(ChrW(8364)), 8364
Check "Chr of euro code", Chr(128), ChrW(8364)
Check "Abs of integer minimum", Abs(CInt(-32768)), CLng(32768)
Check "Sgn", Sgn(-0.5), -1
Check "IsNumeric of text", IsNumeric("1,5"), True
Check "IsNumeric of blank text", IsNumeric(""), False
Check "IsNumeric of empty", IsNumeric(Empty), True
Check "IsDate of number text", IsDate("1"), False
Check "IsDate of date text", IsDate("31/12/2026"), True
Check "VarType of array", VarType(Array()), 8204
Check "TypeName of integer literal", TypeName(32767), "Integer"
Check "TypeName of long literal", TypeName(32768), "Long"
Check "TypeName of constant", TypeName(vbTextCompare), "Integer"
Check "TypeName of colour constant", TypeName(vbRed), "Long"
CheckError "CInt overflow", "x = CInt(32768)", 6
CheckError "CByte of minus one", "x = CByte(-1)", 6
CheckError "CDate of text", "x = CDate(""abc"")", 13
CheckError "CDate out of range", "x = CDate(3000000)", 6
CheckError "CLng of null", "x = CLng(Null)", 94
CheckError "CStr of null", "x = CStr(Null)", 94
CheckError "CCur above the range", "x = CCur(""922337203685477,5808"")", 6
CheckError "conversion as a statement", "CInt 1", 458
Check "Int of the largest currency", Int(CCur("922337203685477,5807")), CCur("922337203685477")
Check "Fix of the smallest currency", Fix(CCur("-922337203685477,5808")), CCur("-922337203685477")
Check "Int of a negative currency", Int(CCur("-922337203685476,0001")), CCur("-922337203685477")
Check "Abs of the largest currency", Abs(CCur("-922337203685477,5807")), CCur("922337203685477,5807")
Check "Round of a large currency", Round(CCur("922337203685476,5")), CCur("922337203685476")
Check "Round of a currency to 2", Round(CCur("-922337203685477,5808"), 2), CCur("-922337203685477,58")
CheckError "Int below the currency range", "x = Int(CCur(""-922337203685477,5808""))", 6
CheckError "Abs of the smallest currency", "x = Abs(CCur(""-922337203685477,5808""))", 6
CheckError "Round above the currency range", "x = Round(CCur(""922337203685477,5807""))", 6
CheckError "Round to 3 above the currency range", "x = Round(CCur(""922337203685477,5807""), 3)", 6
Summary "conversions"
