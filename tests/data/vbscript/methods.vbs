' ByRef arguments of a method called on an object are the caller's variables.
Class Pair
  Public Sub T(v)
    v = v + 1
  End Sub
  Public Function F(a, b)
    a = "first"
    b = "second"
    F = 2
  End Function
  Public Sub Keep(ByVal v)
    v = 100
  End Sub
  Public Sub Twice(v)
    T v
    Me.T v
  End Sub
End Class
Set o = New Pair
x = 1
o.T x
WScript.Echo "statement", x
Call o.T(x)
WScript.Echo "call", x
r = o.F(p, q)
WScript.Echo "function", r, p, q
o.Keep x
WScript.Echo "byval", x
o.Twice x
WScript.Echo "inside", x
Dim arr(1)
arr(0) = 10
o.T arr(0)
WScript.Echo "element", arr(0)
o.T (x)
WScript.Echo "parenthesised", x
With o
  .T x
End With
WScript.Echo "with", x
Sub Outer()
  Dim local
  local = 5
  o.T local
  WScript.Echo "local", local
End Sub
Outer
