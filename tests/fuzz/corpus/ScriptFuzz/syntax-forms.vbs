' Forms the standard engine accepts.
Sub OneLine() WScript.Echo "one line" End Sub
OneLine
Sub Tail()
  WScript.Echo "tail" End Sub
Tail
Function Twice(v) Twice = v * 2 End Function
WScript.Echo Twice(4)
Class Box
  Public Size End Class
Set b = New Box
b.Size = 3
WScript.Echo b.Size
Class C
  Public Function M()
    M = "m"
  End Function
End Class
Call (New C).M()
WScript.Echo (New C).M()
Function F(x)
  F = x + 1
End Function
Call (F)(1)
Property = 5
WScript.Echo Property
Class R
  Public [rem]
End Class
Set r = New R
r.rem = "member rem"
WScript.Echo r.rem
Sub Show(v)
  WScript.Echo "show", v
End Sub
With b
  Show .Size
  Show .Size + 1
End With
WScript.Echo 1 >< 2, 1 >< 1
hi = "there"
x = "a" &hi
WScript.Echo x, &h10, &o17
WScript.Echo 1e-94938484, 2.5E-3
Show (1 + 2) * 3
Sub Pair(a, b)
  WScript.Echo "pair", a, b
End Sub
Pair (1), 2
Pair (1) + 1, 2
If True Then
  Sub Inside()
    WScript.Echo "declared in an If"
  End Sub
End If
Inside
