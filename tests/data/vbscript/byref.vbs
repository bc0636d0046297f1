' ByRef reaches array elements; Const lists; For Each over nothing; Stop.
Sub Inc(v)
  v = v + 1
End Sub
Sub Keep(ByVal v)
  v = v + 1
End Sub
Dim a(2)
a(1) = 5
Inc a(1)
Keep a(2)
WScript.Echo a(1), IsEmpty(a(2))
Dim m(1, 1)
Inc m(1, 0)
Inc m(1, 0)
WScript.Echo m(1, 0)
Inc (a(1))
WScript.Echo a(1)

Sub Shrink(v)
  On Error Resume Next
  ReDim b(0)
  WScript.Echo "redim while passed", Err.Number
  v = 1
End Sub
Dim b()
ReDim b(3)
Shrink b(3)

Const one = 1, two = 2, three = 3
WScript.Echo one + two + three

Dim none()
n = 0
For Each x In none
  n = n + 1
Next
WScript.Echo "empty loop", n
For Each x In Array(1, 2, 3)
Next
WScript.Echo "after loop", IsEmpty(x)
For Each x In Array(1, 2, 3)
  If x = 2 Then Exit For
Next
WScript.Echo "after exit", x

Stop
WScript.Echo "after stop"
