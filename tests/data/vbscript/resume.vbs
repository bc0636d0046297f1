' Under On Error Resume Next an error in a block's header resumes inside the block.
On Error Resume Next
n = 0
Do While 1 / 0
  n = n + 1
Loop
WScript.Echo "do", n, Err.Number
Err.Clear
n = 0
For i = 1 To 1 / 0
  n = n + 1
Next
WScript.Echo "for", n, Err.Number
Err.Clear
n = 0
For Each x In 1 / 0
  n = n + 1
Next
WScript.Echo "for each", n, Err.Number
Err.Clear
n = 0
While 1 / 0
  n = n + 1
Wend
WScript.Echo "while", n, Err.Number
Err.Clear
Select Case 1 / 0
  Case 1
    WScript.Echo "first case"
  Case Else
    WScript.Echo "else"
End Select
WScript.Echo "select", Err.Number
Err.Clear
Select Case 2
  Case 1 / 0
    WScript.Echo "failing case"
  Case 2
    WScript.Echo "two"
End Select
If 1 / 0 Then WScript.Echo "if"
Err.Clear
On Error GoTo 0
n = 0
Do While n < 3
  n = n + 1
Loop
WScript.Echo "plain", n
