Class N
 Public nxt
 Private Sub Class_Terminate()
  c = c + 1
 End Sub
End Class
Set h = Nothing
For i = 1 To 5000
 Set n = New N
 Set n.nxt = h
 Set h = n
Next
Set h = Nothing
Dim a()
ReDim a(3)
Sub Inc(v)
 v = v + 1
 ReDim a(1)
End Sub
On Error Resume Next
Inc a(2)
Do While 1 / 0
Loop
Const p = 1, q = 2, r = 3
Stop
