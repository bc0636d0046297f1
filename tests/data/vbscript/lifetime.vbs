' Class_Terminate runs when the last reference goes; ReDim reaches fields and
' globals from inside procedures; Private members answer only to the class.
Class Item
  Public Name
  Public Other
  Private Secret
  Private Sub Class_Initialize()
    Secret = "s"
  End Sub
  Private Sub Class_Terminate()
    WScript.Echo "terminate " & Name
  End Sub
  Private Function Hidden()
    Hidden = "hidden"
  End Function
  Public Function Reveal()
    Reveal = Hidden() & " " & Me.Hidden() & " " & Secret & " " & Me.Secret
  End Function
End Class

Set a = New Item
a.Name = "a"
Set a = Nothing
WScript.Echo "after a"

Sub Scope()
  Dim local
  Set local = New Item
  local.Name = "local"
  WScript.Echo "in scope"
End Sub
Scope
WScript.Echo "after scope"

Set b = New Item
b.Name = "b"
Set c = b
Set b = Nothing
WScript.Echo "b still held"
c = Empty
WScript.Echo "after c"

Function Make(n)
  Set Make = New Item
  Make.Name = n
End Function
WScript.Echo Make("temporary").Name

Set d = New Item
d.Name = "d"
On Error Resume Next
x = d.Secret
WScript.Echo "field", Err.Number
Err.Clear
x = d.Hidden()
WScript.Echo "method", Err.Number
Err.Clear
d.Secret = 1
WScript.Echo "assign", Err.Number
Err.Clear
On Error GoTo 0
WScript.Echo d.Reveal()

Class Stack
  Private items
  Private count
  Private Sub Class_Initialize()
    count = 0
    ReDim items(0)
  End Sub
  Public Sub Push(v)
    ReDim Preserve items(count)
    items(count) = v
    count = count + 1
  End Sub
  Public Function Top()
    Top = items(count - 1) & " of " & (UBound(items) + 1)
  End Function
End Class
Set s = New Stack
s.Push "x"
s.Push "y"
s.Push "z"
WScript.Echo s.Top()

Dim grown()
Sub Grow(n)
  ReDim Preserve grown(n)
  grown(n) = n * 10
End Sub
Grow 0
Grow 1
WScript.Echo UBound(grown), grown(1)

Set e = New Item
e.Name = "e"
Set f = New Item
f.Name = "f"
Set e.Other = f
Set f.Other = e
Set e = Nothing
Set f = Nothing
WScript.Echo "cycle dropped"
