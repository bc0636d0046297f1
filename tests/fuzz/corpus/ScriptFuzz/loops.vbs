Dim a(2, 3)
ReDim b(1) : ReDim Preserve b(5)
For i = 0 To 2 Step 1
  For j = 3 To 0 Step -1 : a(i, j) = i * j : Next
Next
For Each x In a : s = s & x : Next
Do While n < 3 : n = n + 1 : Loop
Select Case s
  Case "0", 1 : y = 1
  Case Else : y = 2
End Select
While y > 0 : y = y - 1 : Wend
