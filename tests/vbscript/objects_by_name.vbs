' Objects created by name: CreateObject of the engine's own classes, the case of the ProgID,
' failures, and a script class named like a built-in one
Dim re, d, m, a, b
Set re = CreateObject("VBScript.RegExp")
WScript.Echo TypeName(re), IsObject(re), re.Global, re.IgnoreCase, re.MultiLine, "[" & re.Pattern & "]"
re.Pattern = "b+" : re.Global = True
WScript.Echo re.Test("abbbc"), re.Replace("abbcb", "-"), re.Execute("abcbb").Count
Set re = CreateObject("vbscript.regexp") : WScript.Echo TypeName(re)
Set d = CreateObject("Scripting.Dictionary") : d("k") = 1 : WScript.Echo TypeName(d), d.Count, d("k")
Set d = CreateObject("SCRIPTING.DICTIONARY") : WScript.Echo TypeName(d)
Set a = CreateObject("VBScript.RegExp") : Set b = CreateObject("VBScript.RegExp")
WScript.Echo "two instances", a Is b, a Is a
a.Pattern = "x" : WScript.Echo "separate state", "[" & b.Pattern & "]"
WScript.Echo TypeName(New RegExp), TypeName(Eval("New RegExp"))
On Error Resume Next
Set m = CreateObject("VBScript.NoSuchClass") : WScript.Echo "unknown", Err.Number : Err.Clear
Set m = CreateObject() : WScript.Echo "no name", Err.Number : Err.Clear
m = CreateObject("VBScript.RegExp") : WScript.Echo "without Set", Err.Number : Err.Clear
On Error GoTo 0
' From here a script class is named RegExp: New finds it, CreateObject still the built-in.
ExecuteGlobal "Class RegExp" & vbLf & "Public Pattern" & vbLf & _
  "Private Sub Class_Initialize : Pattern = ""mine"" : End Sub" & vbLf & _
  "Public Function Test(s) : Test = ""own test of "" & s : End Function" & vbLf & "End Class"
Dim r : Set r = New RegExp
WScript.Echo TypeName(r), r.Pattern, r.Test("x")
Set r = New regexp : WScript.Echo "any case", TypeName(r)
Set r = CreateObject("VBScript.RegExp") : WScript.Echo "by name", TypeName(r), r.Test("x")
Function Make() : Set Make = New RegExp : End Function
WScript.Echo "from a function", TypeName(Make()), Make().Pattern
