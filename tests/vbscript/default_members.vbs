' Arguments given to a member without parameters go to the default member of what it
' returns: reading, calling, chains and assignment, for the engine's objects and classes
Class Patient
  Private m_problems, m_codes
  Private Sub Class_Initialize
    Set m_problems = CreateObject("Scripting.Dictionary")
    m_problems.Add 1, "250.00" : m_problems.Add 2, "401.9" : m_problems.Add "k", "V70"
    m_codes = Array("A", "B", "C")
  End Sub
  Public Property Get Problems : Set Problems = m_problems : End Property
  Public Property Get Codes() : Codes = m_codes : End Property
  Public Property Get Self : Set Self = Me : End Property
  Public Default Property Get Item(i) : Item = "item " & i : End Property
  Public Function Count() : Count = m_problems.Count : End Function
End Class
Dim p : Set p = New Patient
WScript.Echo p.Problems(1), p.Problems(2), p.Problems("k"), p.Problems.Count
WScript.Echo p.Codes(0), p.Codes(2), UBound(p.Codes), p.Codes()(1)
WScript.Echo p.Self.Problems(2), p.Self.Self.Codes(1), p.Self(7), p(8)
Dim x : Set x = p.Problems : WScript.Echo x(1), x.Item(2), x("k")
p.Problems(1) = "changed" : WScript.Echo p.Problems(1), x(1)
p.Problems("new") = "added" : WScript.Echo p.Problems.Count, p.Problems("new")
With p : WScript.Echo .Problems(2), .Codes(1) : End With
' Inside the class, the same member by its bare name
Class Wrapper
  Private m_d
  Private Sub Class_Initialize : Set m_d = CreateObject("Scripting.Dictionary") : m_d("a") = 1 : End Sub
  Public Property Get Items : Set Items = m_d : End Property
  Public Function FirstItem : FirstItem = Items("a") : End Function
  Public Sub SetItem(k, v) : Items(k) = v : End Sub
End Class
Dim w : Set w = New Wrapper
w.SetItem "b", 2 : WScript.Echo w.FirstItem(), w.Items("b"), w.Items.Count
' Objects of the engine: a Match's SubMatches, the Matches collection
Dim re, ms : Set re = New RegExp : re.Pattern = "(\d+)-(\d+)" : re.Global = True
Set ms = re.Execute("10-20 30-40")
WScript.Echo ms(0).SubMatches(0), ms(0).SubMatches(1), ms(1).SubMatches(1), ms.Item(1).SubMatches.Count, ms(1)
WScript.Echo re.Execute("7-8")(0).SubMatches(1), re.Execute("5-6").Item(0).Value
On Error Resume Next
x = p.Count(1) : WScript.Echo "a function takes no extra arguments", Err.Number : Err.Clear
x = ms(0).SubMatches(5) : WScript.Echo "past the end", Err.Number : Err.Clear
x = p.Codes(9) : WScript.Echo "array index out of range", Err.Number : Err.Clear
x = p.Problems(1, 2) : WScript.Echo "too many for the default member", Err.Number : Err.Clear
