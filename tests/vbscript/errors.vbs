' Error numbers and the Err object: conversions called as statements, Null in the string,
' format and date functions, fixed arrays, For Each over what is not a collection, Raise
On Error Resume Next
Call CInt(1) : WScript.Echo "Call CInt(1)", Err.Number, Err.Description : Err.Clear
CDbl "2" : WScript.Echo "CDbl as a statement", Err.Number : Err.Clear
Call CStr(1) : WScript.Echo "Call CStr(1)", Err.Number : Err.Clear
Call CInt("x") : WScript.Echo "conversion fails first", Err.Number : Err.Clear
Call Len("abc") : WScript.Echo "Call Len", Err.Number : Err.Clear
x = FormatCurrency(Null) : WScript.Echo "FormatCurrency(Null)", Err.Number : Err.Clear
x = FormatNumber(Null) : WScript.Echo "FormatNumber(Null)", Err.Number : Err.Clear
x = FormatPercent(Null) : WScript.Echo "FormatPercent(Null)", Err.Number : Err.Clear
x = FormatDateTime(Null) : WScript.Echo "FormatDateTime(Null)", Err.Number : Err.Clear
x = Mid(Null, 1) : WScript.Echo "Mid(Null, 1)", IsNull(x), Err.Number : Err.Clear
x = Mid("abc", Null) : WScript.Echo "Mid(abc, Null)", Err.Number : Err.Clear
x = Mid("abc", 1, Null) : WScript.Echo "Mid(abc, 1, Null)", Err.Number : Err.Clear
x = Left(Null, 1) : WScript.Echo "Left(Null, 1)", IsNull(x), Err.Number : Err.Clear
x = Left("abc", Null) : WScript.Echo "Left(abc, Null)", Err.Number : Err.Clear
x = Right(Null, 1) : WScript.Echo "Right(Null, 1)", IsNull(x), Err.Number : Err.Clear
x = Right("abc", Null) : WScript.Echo "Right(abc, Null)", Err.Number : Err.Clear
x = DateAdd("d", 1, Null) : WScript.Echo "DateAdd of a Null date", IsNull(x), Err.Number : Err.Clear
x = DateAdd("d", Null, Date) : WScript.Echo "DateAdd of Null days", Err.Number : Err.Clear
x = DateAdd(Null, 1, Date) : WScript.Echo "DateAdd of a Null interval", Err.Number : Err.Clear
Dim fixed(2) : ReDim fixed(3) : WScript.Echo "ReDim of a fixed array", Err.Number, UBound(fixed) : Err.Clear
ReDim Preserve fixed(4) : WScript.Echo "ReDim Preserve of a fixed array", Err.Number : Err.Clear
Dim ran : ran = 0
For Each item In Empty : ran = ran + 1 : WScript.Echo "body runs once", Err.Number : Next
WScript.Echo "For Each over Empty", ran, Err.Number : Err.Clear
For Each item In 42 : ran = ran + 1 : Next
WScript.Echo "For Each over a number", ran, Err.Number : Err.Clear
x = 1 / 0
WScript.Echo "engine error", Err.Number, Err.Source, Err.Description, "[" & Err.HelpFile & "]", Err.HelpContext : Err.Clear
Set d = CreateObject("Scripting.Dictionary") : d.Add "k", 1 : d.Add "k", 2
WScript.Echo "object error", Err.Number, Err.Source : Err.Clear
Err.Raise 1000, "Mine", "my text", "help.chm", 42
WScript.Echo "raise", Err.Number, Err.Source, Err.Description, Err.HelpFile, Err.HelpContext
Err.Raise Err.Number
WScript.Echo "raise again keeps", Err.Number, Err.Source, Err.Description, Err.HelpFile, Err.HelpContext
Err.Raise 1001, , "new text"
WScript.Echo "raise with some parts", Err.Number, Err.Source, Err.Description, Err.HelpFile
Err.Clear
WScript.Echo "cleared", Err.Number, "[" & Err.Source & "]", "[" & Err.Description & "]", "[" & Err.HelpFile & "]", Err.HelpContext
Err.Raise 1100
WScript.Echo "after a clear", Err.Number, Err.Source, Err.Description, "[" & Err.HelpFile & "]" : Err.Clear
Err.Raise 11
WScript.Echo "a known number", Err.Number, Err.Description : Err.Clear
Err.HelpFile = "set.chm" : Err.HelpContext = 7 : WScript.Echo "assigned", Err.HelpFile, Err.HelpContext : Err.Clear
Sub Inner : Err.Raise 2000, "Inner", "from a procedure", "in.chm", 3 : End Sub
Inner
WScript.Echo "through a procedure", Err.Number, Err.Source, Err.Description, Err.HelpFile, Err.HelpContext : Err.Clear
x = Eval("1 +") : WScript.Echo "compile error in Eval", Err.Number, Err.Source : Err.Clear
Execute "If" : WScript.Echo "compile error in Execute", Err.Number, Err.Source : Err.Clear
x = CInt(1) : WScript.Echo "no error", Err.Number
