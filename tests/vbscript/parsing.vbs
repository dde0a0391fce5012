' Forms of the language the platform accepts that a stricter reading would refuse
WScript.Echo 1 >< 2, 2 >< 2, "a" >< "b", 3 => 2, 2 =< 1
If 1 >< 2 Then WScript.Echo "not equal"
Dim n : n = 0
If True Then : WScript.Echo "then colon" : n = n + 1
If False Then : WScript.Echo "never" : n = n + 100
WScript.Echo "after then-colon lines", n
If True Then WScript.Echo "ends in End If" End If
If False Then WScript.Echo "no" Else WScript.Echo "else ends in End If" End If
If True Then n = 5 End If : WScript.Echo "and a statement after it", n
If True Then WScript.Echo "colon before End If" : End If
If True Then Const k = 3
WScript.Echo "const in single-line if", k
Dim Property, Default, Step, Explicit, Error
Property = "p" : Default = "d" : Step = 2 : Explicit = "e" : Error = "r"
WScript.Echo Property, Default, Step, Explicit, Error
For n = 1 To 5 Step Step : WScript.Echo "step", n : Next
Sub OneLine : WScript.Echo "one-line sub" : End Sub
Function OneLineF(x) : OneLineF = x * 2 : End Function
OneLine : WScript.Echo OneLineF(21)
If True Then
  Sub DeclaredInIf : WScript.Echo "sub declared in an If block" : End Sub
End If
If False Then
  Function DeclaredInFalseIf() : DeclaredInFalseIf = "declared even where the block does not run" : End Function
End If
For n = 1 To 1
  Sub DeclaredInLoop : WScript.Echo "sub declared in a loop" : End Sub
Next
DeclaredInIf : WScript.Echo DeclaredInFalseIf() : DeclaredInLoop
With CreateObject("Scripting.Dictionary")
  .Add "a", 1 : .Add "b", 2 : WScript.Echo "with", .Count : End With
Do : n = n + 1 : Loop Until n > 10 : WScript.Echo "do on one line", n
Select Case n : Case 11 : WScript.Echo "select on one line" : End Select
Stop
WScript.Echo "after Stop"
Class Twice : Public Default Function Of(x) : Of = x * 2 : End Function : End Class
Dim t : Set t = New Twice
WScript.Echo (t)(4), (t)(4) + 1, ((t))(5)
WScript.Echo &HFFFF, TypeName(&HFFFF), &HFFFF&, TypeName(&HFFFF&), &H7FFF&, TypeName(&H7FFF&), &H8000, &H8000&
WScript.Echo &HFFFFFFFF, TypeName(&HFFFFFFFF), &HFFFFFFFF&, &H10000, TypeName(&H10000), &O177777, &O177777&, TypeName(&O177777&)
WScript.Echo -&HFFFF&, &HFF& + 1, TypeName(&HFF& * 2)
If n Then :
WScript.Echo "a Then colon ending its line is a whole If"
If n Then : Else
WScript.Echo "and so is one with an empty Else"
WScript.Echo (t)(3)
Dim dd : Set dd = CreateObject("Scripting.Dictionary") : dd.Add 1, Array("a", "b")
WScript.Echo (dd)(1)(1)
WScript.Echo (dd)(1)(0) & "z"
