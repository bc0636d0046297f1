' Types and values as the standard engine gives them.
WScript.Echo VarType(&h10&), VarType(&h8000&), &h8000&, VarType(&h10)
WScript.Echo CLng("&HBEEF"), CLng("&H10"), CLng("&HFFFFFFFF")
WScript.Echo -3 ^ 2, -2 ^ 2, 2 ^ -1, -(3 ^ 2)
If "#TRUE#" Then WScript.Echo "#TRUE# is true"
WScript.Echo Not "#FALSE#", CBool("#false#"), CBool(" True ")
WScript.Echo CDbl(TimeValue("8:30")), TimeValue("8:30") = 8.5 / 24
On Error Resume Next
Set nothingHere = Nothing
x = nothingHere.Anything
WScript.Echo "member of Nothing", Err.Number, Err.Description
Err.Clear
Dim fixed(2)
ReDim fixed("x")
WScript.Echo "redim of a fixed array", Err.Number
Err.Clear
Err.Raise 5
WScript.Echo Err.Source
Err.Clear
ExecuteGlobal "Dim twice" & vbCrLf & "Dim twice"
WScript.Echo "dim twice", Err.Number, Err.Description
Err.Clear
ExecuteGlobal "Sub P(a)" & vbCrLf & "Dim a" & vbCrLf & "End Sub"
WScript.Echo "dim of a parameter", Err.Number
