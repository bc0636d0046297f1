Class C
  Private m
  Public Property Get P() : P = m : End Property
  Public Property Let P(v) : m = v * 2 : End Property
  Public Default Function F(x) : F = x & m : End Function
End Class
Set o = New C : o.P = 4 : r = o(1)
With o : .P = .P + 1 : End With
