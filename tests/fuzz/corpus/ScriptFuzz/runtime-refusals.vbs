Const limit = 3
Class Snippet
  Public Amount
  Public Default Property Get Text
    Text = "n = n + 1"
  End Property
  Public Property Let Held(v)
    Amount = TypeName(v)
  End Property
End Class
Sub Bump()
  limit = limit + 1
  For limit = 1 To 2
  Next
End Sub
On Error Resume Next
Bump
Set s = New Snippet
Execute s
s.Held = s
s.Amount(0) = 1
With Empty
  x = .Missing
End With
For Each e In s.Missing
  Exit For
Next
Select Case 3
Case "x", True, #1/1/2000#
End Select
y = ("True" = True) And ("a" < #1/1/2000#)
v = "Snippet"
Set t = New v
Dim fixed(1)
ReDim Preserve fixed("a")
z = Eval(Empty)
