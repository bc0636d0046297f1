On Error Resume Next
x = 1 / 0 : e = Err.Number
Err.Raise vbObjectError + 5, "s", "d"
x = CInt("&HFFFF") + #1/2/2003# - Null & Empty
On Error GoTo 0
If x Is Nothing Then x = Not x Xor True Eqv 5 Imp -2 ^ 3 Mod 2 \ 1
