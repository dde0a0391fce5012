' Types and conversions: the subtype of constants, Boolean and Byte conversions, dates from
' numbers in text, Round, Single precision, and Currency exact to its last digit
WScript.Echo TypeName(vbTextCompare), TypeName(vbSunday), TypeName(vbOKCancel), TypeName(vbString), TypeName(vbArray), TypeName(vbUseDefault), TypeName(vbTrue)
WScript.Echo TypeName(vbSystemModal), TypeName(vbMsgBoxHelpButton), TypeName(vbMsgBoxSetForeground), TypeName(vbObjectError), TypeName(vbRed), TypeName(vbBlack), TypeName(vbWhite)
WScript.Echo TypeName(vbCrLf), TypeName(vbNullString), Len(vbNullChar), VarType(vbLongDate), VarType(vbFirstFourDays)
WScript.Echo CBool("#TRUE#"), CBool("#FALSE#"), CBool("#true#"), CBool("True"), CBool(" 1 "), TypeName(CBool("#TRUE#"))
WScript.Echo CByte(True), CByte(False), TypeName(CByte(True)), CInt(True), CLng(True), CCur(True), CDbl(True), CSng(True)
WScript.Echo CDate("1"), CDate("0"), CDate("1,5"), CDate("-1"), CDate("46000"), TypeName(CDate("1")), IsDate("1")
WScript.Echo Round(True), TypeName(Round(True)), Round(False), TypeName(Round(CByte(7))), Round(2.5), Round(3.5), Round(-2.5), Round(2.675, 2), TypeName(Round(CSng(1.25), 1))
WScript.Echo CSng(1.1), CSng(16777217), CSng(1/3), CSng("0,1") * 3, TypeName(CSng(1.5) * 2), TypeName(CSng(1.5) * CLng(2)), CSng(3.4E+38) * 1
WScript.Echo CDbl(CSng(1.1)), CSng(CDbl(CSng(0.1))) = CSng(0.1), TypeName(CSng(1) + CByte(1)), TypeName(CSng(1) / 3), TypeName(CSng(1) / CLng(3))
WScript.Echo TypeName(CCur(1) / CCur(3)), CCur(1) / CCur(4), TypeName(CCur(10) / 2), TypeName(CCur(1) * 3), TypeName(CCur(1) + 1.5), TypeName(CCur(2) \ 1)
WScript.Echo CCur("922337203685477,5807"), CCur("-922337203685477,5808"), CCur("0,00005"), CCur("0,00015"), CCur("0,000051"), CCur("1E-5"), CCur("1,5E+3")
WScript.Echo CCur(922337203685477), CCur(-922337203685477), CCur(1.00005), CCur(0.00015)
WScript.Echo CCur("0,1") * CCur("0,7"), CCur("1234567,8901") * CCur("1000"), CCur("0,0001") * CCur("0,5"), CCur("0,0003") * CCur("0,5"), CCur("-0,0003") * CCur("0,5")
WScript.Echo CCur("922337203685477,5807") - CCur("0,0007"), CCur("-922337203685477,5") - CCur("0,0008"), CCur("461168601842738,7903") * 2
WScript.Echo FormatNumber(CCur("922337203685477,5807"), 4), FormatCurrency(CCur("922337203685477,5807")), FormatNumber(CCur("0,125"), 2), FormatNumber(CCur("-0,125"), 2), FormatCurrency(CCur("12345,6789"), 3)
top = CCur("922337203685477,5807") : bottom = CCur("-922337203685477,5808")
WScript.Echo "whole parts at the limits", Int(top), Fix(top), Fix(bottom), Int(CCur("-2,5")), Fix(CCur("-2,5")), Int(CCur("-922337203685476,0001")), TypeName(Int(top))
WScript.Echo "abs and round at the limits", Abs(top), Abs(bottom + CCur("0,0001")), Round(top, 4), Round(CCur("922337203685477,4999")), Round(CCur("-922337203685477,4999")), Round(CCur("922337203685476,5")), Round(CCur("922337203685475,5"))
On Error Resume Next
x = Int(bottom) : WScript.Echo "Int below the range", Err.Number : Err.Clear
x = Abs(bottom) : WScript.Echo "Abs of the smallest", Err.Number : Err.Clear
x = Round(top) : WScript.Echo "Round above the range", Err.Number : Err.Clear
x = Round(top, 3) : WScript.Echo "Round to 3 above the range", Err.Number : Err.Clear
x = Round(bottom, 2) : WScript.Echo "Round to 2 stays in range", x, Err.Number : Err.Clear
x = Fix(bottom) : WScript.Echo "Fix stays in range", Err.Number, x : Err.Clear
x = CCur("922337203685477,58075") : WScript.Echo "rounded up past the top", Err.Number : Err.Clear
x = CCur("922337203685477,58074") : WScript.Echo "rounded down to the top", Err.Number, x : Err.Clear
x = CCur("922337203685477,5808") : WScript.Echo "above the range", Err.Number : Err.Clear
x = CCur("-922337203685477,5809") : WScript.Echo "below the range", Err.Number : Err.Clear
x = CCur("922337203685477,5807") + CCur("0,0001") : WScript.Echo "sum overflow", Err.Number : Err.Clear
x = -CCur("-922337203685477,5808") : WScript.Echo "negation overflow", Err.Number : Err.Clear
x = CCur("461168601842738,7904") * 2 : WScript.Echo "product overflow", Err.Number : Err.Clear
x = CCur("1E+16") : WScript.Echo "exponent overflow", Err.Number : Err.Clear
x = CCur("abc") : WScript.Echo "not a number", Err.Number : Err.Clear
x = CDate("3000000") : WScript.Echo "serial out of range", Err.Number : Err.Clear
x = CByte(-1) : WScript.Echo "CByte(-1)", Err.Number : Err.Clear
x = CSng(1E+39) : WScript.Echo "CSng overflow", Err.Number : Err.Clear
