Option Explicit
' What published script libraries rely on: + with Empty, ReDim declaring under Option
' Explicit, names made by ExecuteGlobal and Execute, GetRef passing by reference
Dim e, parts
WScript.Echo Empty + "x", TypeName(Empty + "x"), Empty + 5, TypeName(Empty + CByte(5)), TypeName(Empty + Empty), TypeName(Empty + Null)
WScript.Echo "x" + Empty, e + "abc" + "def", TypeName(e + #1/2/2026#), TypeName(True + Empty), Empty - 1, TypeName(Empty * 2)
Dim acc : acc = Empty
For Each e In Array("a", "b", "c") : acc = acc + e : Next
WScript.Echo "concatenated with +", acc
Sub Collect(n)
  ReDim items(n)
  Dim i : For i = 0 To n : items(i) = i * i : Next
  WScript.Echo "ReDim declares a local", UBound(items), items(n)
End Sub
Collect 3
ReDim topLevel(1) : topLevel(1) = "t" : WScript.Echo "ReDim at script level", topLevel(1)
Sub GrowShared : ReDim Preserve topLevel(2) : topLevel(2) = "u" : End Sub
GrowShared : WScript.Echo "ReDim of a script-level name in a procedure", UBound(topLevel), topLevel(1), topLevel(2)
ExecuteGlobal "Dim dynamicName : dynamicName = 42"
WScript.Echo "ExecuteGlobal variable", dynamicName
dynamicName = dynamicName + 1 : WScript.Echo "assigned", dynamicName
ExecuteGlobal "Function Doubled(x) : Doubled = x * 2 : End Function"
WScript.Echo "ExecuteGlobal function", Doubled(21)
ExecuteGlobal "Class Point : Public X, Y : End Class"
Dim pt : Set pt = New Point : pt.X = 3 : WScript.Echo "ExecuteGlobal class", TypeName(pt), pt.X
Execute "Dim fromExecute : fromExecute = ""e"""
WScript.Echo "Execute at script level", fromExecute
Sub UsesLater : WScript.Echo "procedure sees a later global", laterGlobal : End Sub
ExecuteGlobal "Dim laterGlobal : laterGlobal = ""late"""
UsesLater
Sub AddOne(n) : n = n + 1 : End Sub
Sub AddOneByVal(ByVal n) : n = n + 1 : End Sub
Function Swap(a, b) : Dim t : t = a : a = b : b = t : Swap = "swapped" : End Function
Dim f, v, w : Set f = GetRef("AddOne") : v = 1
f v : WScript.Echo "GetRef by reference", v
f(v) : WScript.Echo "GetRef with parentheses", v
Call f(v) : WScript.Echo "GetRef with Call", v
Set f = GetRef("AddOneByVal") : f v : WScript.Echo "GetRef ByVal", v
Set f = GetRef("Swap") : v = "a" : w = "b" : WScript.Echo f(v, w), v, w
Dim arr(1) : arr(0) = 10 : Set f = GetRef("AddOne") : f arr(0) : WScript.Echo "GetRef array element", arr(0)
Dim handlers : Set handlers = CreateObject("Scripting.Dictionary") : handlers.Add "inc", GetRef("AddOne")
v = 5 : handlers("inc")(v) : WScript.Echo "GetRef from a dictionary", v
On Error Resume Next
WScript.Echo neverDeclared : WScript.Echo "still undefined", Err.Number : Err.Clear
neverDeclared = 1 : WScript.Echo "assignment to undefined", Err.Number : Err.Clear
