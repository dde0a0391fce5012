' Classes: fields, properties, default members with and without arguments, Me, events of
' life, objects held in variables and collections
Dim log : log = ""
Class Counter
  Public Name
  Private m_count
  Private Sub Class_Initialize : m_count = 0 : log = log & "init;" : End Sub
  Private Sub Class_Terminate : log = log & "end " & Name & ";" : End Sub
  Public Property Get Count : Count = m_count : End Property
  Public Property Let Count(v) : If v < 0 Then v = 0
    m_count = v : End Property
  Public Function Add(n) : m_count = m_count + n : Set Add = Me : End Function
  Public Default Function Describe() : Describe = Name & "=" & m_count : End Function
End Class
Class Registry
  Private m_items
  Private Sub Class_Initialize : Set m_items = CreateObject("Scripting.Dictionary") : End Sub
  Public Property Get Items : Set Items = m_items : End Property
  Public Property Get Keys() : Keys = m_items.Keys : End Property
  Public Default Property Get Item(key) : Set Item = m_items(key) : End Property
  Public Sub Register(c) : m_items.Add c.Name, c : End Sub
End Class
Dim c, r
Set c = New Counter : c.Name = "c"
Check "initialize ran", log, "init;"
Check "field", c.Name, "c"
c.Count = 5
Check "property let and get", c.Count, 5
c.Count = -3
Check "property let changes the value", c.Count, 0
Check "chained calls through Me", c.Add(2).Add(3).Count, 5
Check "default member", c(), "c=5"
Check "default member in text", "" & c, "c=5"
Check "TypeName", TypeName(c), "Counter"
Set r = New Registry : r.Register c
Check "default property with an argument", r("c").Count, 5
Check "property without arguments given one", r.Items("c").Name, "c"
Check "array property indexed", r.Keys(0), "c"
r.Items("extra") = 1
Check "assignment through a property", r.Items.Count, CLng(2)
Check "Is", r("c") Is c, True
Set c = Nothing
Check "still held by the registry", log, "init;"
r.Items.RemoveAll
Check "terminate on the last release", log, "init;end c;"
With New Counter
  .Name = "w" : .Count = 1
  Check "With a new object", .Describe(), "w=1"
End With
Check "released after With", Right(log, 6), "end w;"
Class Node
  Public NextNode, Value
End Class
Dim n1, n2 : Set n1 = New Node : Set n2 = New Node : n1.Value = 1 : n2.Value = 2 : Set n1.NextNode = n2
Check "object field", n1.NextNode.Value, 2
Check "Nothing field", IsEmpty(n2.NextNode), True
CheckError "private member", "Set z = New Counter : z.m_count = 1", 438
CheckError "missing member", "Set z = New Counter : x = z.Missing", 438
CheckError "assign object without Set", "z = New Node", 438
CheckError "Set of a number", "Set z = 1", 424
CheckError "member of Nothing", "Set z = Nothing : x = z.Name", 91
CheckError "member of a number", "z = 1 : x = z.Name", 424
CheckError "unknown class", "Set z = New NoSuchClass", 506
CheckError "function takes no extra arguments", "Set z = New Counter : x = z.Add(1, 2)", 450
Summary "classes"
