' Literals of different types meet as the standard engine converts them: a Boolean as
' its text, a date by reading the string; Select Case holds its subject as a value.
WScript.Echo "true text", "True" = True, True = "True"
WScript.Echo "false text", "False" > True, "False" < True, False <> "False"
WScript.Echo "date text", "1/15/2024" = #1/15/2024#, #1/16/2024# > "1/15/2024"
On Error Resume Next
x = "abc" = #1/15/2024#
WScript.Echo "not a date", Err.Number
Err.Clear
x = "abc" = 42
WScript.Echo "not a number", Err.Number
Err.Clear
Select Case 3
Case "x"
  WScript.Echo "x matched"
Case 3
  WScript.Echo "3 matched"
End Select
WScript.Echo "select", Err.Number
Select Case "42"
Case 42
  WScript.Echo "text meets number"
Case Else
  WScript.Echo "text misses number"
End Select
Select Case True
Case "True"
  WScript.Echo "true meets its text"
Case Else
  WScript.Echo "true misses its text"
End Select
WScript.Echo "after", Err.Number
