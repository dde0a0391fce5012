' Arrays: Dim, ReDim, Preserve, bounds, several dimensions, copies by value, Erase, For Each
Dim a(2), m(1, 2), dyn(), b, i, total
a(0) = "x" : a(2) = 3
Check "fixed bounds", UBound(a), CLng(2)
Check "lower bound", LBound(a), CLng(0)
Check "element", a(2), 3
Check "unset element", a(1), Empty
m(1, 2) = "corner"
Check "two dimensions", m(1, 2), "corner"
Check "second dimension bound", UBound(m, 2), CLng(2)
ReDim dyn(3) : dyn(3) = "last"
Check "ReDim", UBound(dyn), CLng(3)
ReDim Preserve dyn(5)
Check "ReDim Preserve keeps", dyn(3), "last"
ReDim Preserve dyn(1)
Check "ReDim Preserve shrinks", UBound(dyn), CLng(1)
ReDim dyn(2)
Check "ReDim clears", dyn(0), Empty
b = a : b(0) = "changed"
Check "assignment copies", a(0), "x"
Check "the copy changed", b(0), "changed"
Check "Array function", Array(1, "a"), Array(1, "a")
Check "empty Array", UBound(Array()), CLng(-1)
Check "IsArray", IsArray(a), True
Check "nested arrays", Array(Array(1, 2), 3)(0)(1), 2
total = 0
For Each i In Array(1, 2, 3) : total = total + i : Next
Check "For Each over an array", total, 6
total = 0
For Each i In m : total = total + 1 : Next
Check "For Each over two dimensions", total, 6
Erase a
Check "Erase keeps a fixed array", UBound(a), CLng(2)
Check "Erase empties it", a(2), Empty
Erase dyn
Check "Erase drops a dynamic array", IsArray(dyn), True
Function MakeList() : MakeList = Array("p", "q") : End Function
Check "array from a function", MakeList()(1), "q"
Sub Fill(arr) : arr(0) = "filled" : End Sub
ReDim dyn(0) : Fill dyn
Check "array passed by reference", dyn(0), "filled"
Check "Split result", UBound(Split("a,b", ",")), CLng(1)
Check "Join of numbers", Join(Array(1, 2)), "1 2"
Sub Declares
  ReDim local(2) : local(2) = "ok"
  Check "ReDim declares in a procedure", local(2), "ok"
End Sub
Declares
CheckError "subscript out of range", "x = Array(1)(1)", 9
CheckError "wrong number of subscripts", "Dim q(1) : x = q(0, 0)", 9
CheckError "ReDim of a fixed array", "Dim f(1) : ReDim f(2)", 10
CheckError "ReDim Preserve of an earlier dimension", "ReDim r(1, 1) : ReDim Preserve r(2, 1)", 9
CheckError "UBound of a non-array", "x = UBound(1)", 13
CheckError "UBound of a missing dimension", "x = UBound(Array(1), 2)", 9
CheckError "negative bound", "ReDim n(-2)", 9
Summary "arrays"
