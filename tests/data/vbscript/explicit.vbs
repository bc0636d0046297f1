Option Explicit
' Undeclared variables under Option Explicit
Dim a
a = 1
WScript.Echo "declared", a
On Error Resume Next
b = 2
WScript.Echo "undeclared assignment", Err.Number, Err.Description
Err.Clear
WScript.Echo "undeclared read", c, Err.Number
