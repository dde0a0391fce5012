Class K
  Private m
  Public Default Property Get V(i) : V = m * i : End Property
  Public Property Let V(i, x) : m = x : End Property
  Sub Class_Terminate : Execute "m = Empty" : End Sub
End Class
Dim o : Set o = New K : o.V(1) = 3
With o : x = .V(2) : End With
Function R(n) : If n > 0 Then R = R(n - 1) + 1 Else R = 0
End Function
On Error Resume Next
y = R(5) & Eval("1 + 2 * 3 ^ -1") : ReDim Preserve a(3) : Err.Raise 5
Select Case y : Case 1, "6" : z = GetRef("R")(2) : Case Else : ExecuteGlobal "q = 1" : End Select
