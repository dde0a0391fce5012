' Errors: numbers of run-time errors, On Error Resume Next, the Err object and Raise
Dim got
CheckError "type mismatch", "x = ""a"" * 1", 13
CheckError "overflow", "x = CInt(40000)", 6
CheckError "subscript", "Dim q(1) : x = q(3)", 9
CheckError "invalid call", "x = Mid(""a"", 0)", 5
CheckError "undefined procedure", "NoSuchProcedure", 13
CheckError "wrong argument count", "x = Left(""a"")", 450
CheckError "object required", "x = 1 : x.Go", 424
CheckError "duplicate key", "Set q = CreateObject(""Scripting.Dictionary"") : q.Add 1, 1 : q.Add 1, 2", 457
CheckError "cannot create", "Set q = CreateObject(""No.Such"")", 429
CheckError "invalid use of null", "x = CLng(Null)", 94
CheckError "fixed array", "Dim fx(1) : ReDim fx(2)", 10
CheckError "conversion as a statement", "Call CDbl(1)", 458
CheckError "format of null", "x = FormatCurrency(Null)", 13
CheckError "raise", "Err.Raise 1234", 1234
CheckError "raise zero", "Err.Raise 0", 5
On Error Resume Next
x = 1 / 0
Check "number after resume next", Err.Number, CLng(11)
Check "description", Err.Description, "Division by zero"
Check "source of an engine error", Err.Source, "Microsoft VBScript runtime error"
Check "help file of an engine error", Err.HelpFile, ""
Check "help context of an engine error", Err.HelpContext, CLng(0)
Err.Clear
Check "cleared", Err.Number, CLng(0)
Err.Raise 1000, "Src", "Text", "file.chm", 12
Check "raised number", Err.Number, CLng(1000)
Check "raised source", Err.Source, "Src"
Check "raised description", Err.Description, "Text"
Check "raised help file", Err.HelpFile, "file.chm"
Check "raised help context", Err.HelpContext, CLng(12)
Err.Raise Err.Number
Check "raised again keeps the source", Err.Source, "Src"
Check "raised again keeps the description", Err.Description, "Text"
Check "raised again keeps the help file", Err.HelpFile, "file.chm"
Err.Clear
Check "clear resets the help file", Err.HelpFile, ""
Check "clear resets the help context", Err.HelpContext, CLng(0)
Err.Raise 5
Check "raise of a known number has its text", Err.Description, "Invalid procedure call or argument"
Err.Clear
Err.Raise vbObjectError + 1, "Mine"
Check "object error number", Err.Number - vbObjectError, CLng(1)
Err.Clear
Err.Raise 6 : Err.Raise 7
Check "the last error wins", Err.Number, CLng(7)
Err.Clear
got = "before" : got = CInt("x") : got = got & " after"
Check "the failing statement is skipped", got, "before after"
Err.Clear
If CInt("x") = 1 Then got = "then" Else got = "else"
Check "a failing If condition enters the branch", got, "then"
Err.Clear
got = 0
For Each x In Empty : got = got + 1 : Next
Check "For Each over Empty runs the body once", got, 1
Check "For Each over Empty reports", Err.Number, CLng(451)
Err.Clear
Sub Fails : Err.Raise 77, "Deep" : End Sub
Fails
Check "error from a procedure", Err.Number, CLng(77)
Check "its source", Err.Source, "Deep"
Err.Clear
Function Handles() : On Error Resume Next : x = 1 / 0 : Handles = Err.Number : End Function
Check "handler inside a function", Handles(), CLng(11)
Check "the caller's Err after the function", Err.Number, CLng(11)
Err.Clear
Eval "1 +"
Check "compile error in Eval", Err.Number, CLng(1023)
Check "its source", Err.Source, "Microsoft VBScript compilation error"
Err.Clear
On Error GoTo 0
Check "goto 0", Err.Number, CLng(0)
Summary "errors"
