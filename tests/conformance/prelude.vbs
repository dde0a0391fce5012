' Put in front of every area file by the runner: Check compares a value with the expected
' one, subtype included; CheckError runs a statement and compares the error number it
' raises; Summary prints the counts and fails the run when a check failed.
Dim passed, failed
passed = 0 : failed = 0

Function Describe(v)
  Dim i, s
  If IsArray(v) Then
    s = "Array("
    For i = LBound(v) To UBound(v)
      If i > LBound(v) Then s = s & ", "
      s = s & Describe(v(i))
    Next
    Describe = s & ")"
  ElseIf IsObject(v) Then
    If v Is Nothing Then Describe = "Nothing" Else Describe = "Object " & TypeName(v)
  ElseIf IsNull(v) Then
    Describe = "Null"
  ElseIf IsEmpty(v) Then
    Describe = "Empty"
  Else
    Describe = TypeName(v) & " " & CStr(v)
  End If
End Function

Sub Check(name, actual, expected)
  If Describe(actual) = Describe(expected) Then
    passed = passed + 1
  Else
    failed = failed + 1
    WScript.Echo "FAIL " & name & ": got " & Describe(actual) & ", expected " & Describe(expected)
  End If
End Sub

Sub CheckError(name, statement, number)
  Dim got
  On Error Resume Next
  ExecuteGlobal statement
  got = Err.Number
  On Error GoTo 0
  Check name, got, CLng(number)
End Sub

Sub Summary(area)
  WScript.Echo area & ": " & passed & " passed, " & failed & " failed"
  If failed > 0 Then WScript.Quit 1
End Sub
