' Errors the standard engine raises for misused values and names.
On Error Resume Next
Sub Report(what)
  WScript.Echo what, Err.Number
  Err.Clear
End Sub
With 42
End With
Report "with number"
With "text"
End With
Report "with string"
With Empty
End With
Report "with empty"
With Null
End With
Report "with null"
With True
End With
Report "with boolean"
n = 0
For i = 1 To 1 / 0
  n = n + 1
Next
Report "for bounds " & n
v = 5
v
Report "bare variable"
Class C
  Public p
  Public Default Property Get Item()
    Item = 1
  End Property
End Class
Set o = New C
o.p = 3
t = o.p(0)
Report "field with index"
a = Array(1, 2)
a(0)(0) = 5
Report "element of a scalar"
t = .prop
Report "member outside with"
Call CInt(1)
Report "call cint"
CStr 1
Report "cstr statement"
t = Randomize(0)
Report "randomize as value"
Randomize
Report "randomize statement"
Set t = New NoSuchClass
Report "unknown class"
With 1 / 0
  WScript.Echo "with body runs", Err.Number
  Err.Clear
  t = .prop
  Report "member of the failed subject"
End With
Select Case 1 / 0
Case Empty
  WScript.Echo "case empty"
Case Else
  WScript.Echo "case else"
End Select
Report "select subject fails"
