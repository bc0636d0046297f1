' Copies of fixed arrays; assigning through chained indexes.
On Error Resume Next
Dim a(3)
a(1) = "one"
b = a
ReDim Preserve b(5)
WScript.Echo "copy grows", Err.Number, UBound(b), b(1)
Err.Clear
ReDim a(5)
WScript.Echo "declared stays fixed", Err.Number, UBound(a)
Err.Clear
Function Made()
  Dim t(2)
  t(0) = "made"
  Made = t
End Function
c = Made()
ReDim Preserve c(4)
WScript.Echo "returned grows", Err.Number, UBound(c), c(0)
Err.Clear
On Error GoTo 0
x = Array(Array(1, 2), Array(3, 4))
x(0)(1) = 5
WScript.Echo "chained", x(0)(0), x(0)(1), x(1)(1)
Class C
  Public n
End Class
Set x(1)(0) = New C
x(1)(0).n = "object"
WScript.Echo "chained set", x(1)(0).n
Dim m(1)
m(0) = Array(Array("a", "b"), "c")
m(0)(0)(1) = "B"
WScript.Echo "deeper", m(0)(0)(0), m(0)(0)(1), m(0)(1)
y = Array(1, 2)
On Error Resume Next
y(0)(0) = 5
WScript.Echo "not an array", Err.Number
