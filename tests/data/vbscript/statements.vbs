' Control flow statements
Dim i, j, s, n
For i = 1 To 3
    s = s & i
Next
WScript.Echo "for", s, i
s = ""
For i = 10 To 1 Step -3
    s = s & i & " "
Next
WScript.Echo "step", s, i
s = ""
For i = 0 To 1 Step 0.25
    s = s & i & " "
Next
WScript.Echo "fraction", s
s = ""
For i = 1 To 0
    s = s & "never"
Next
WScript.Echo "empty loop", "[" & s & "]", i
For i = 1 To 10
    If i = 4 Then Exit For
Next
WScript.Echo "exit for", i
s = ""
For Each j In Array("x", "y", "z")
    s = s & j
Next
WScript.Echo "for each", s
n = 0
Do While n < 5
    n = n + 1
Loop
WScript.Echo "do while", n
Do Until n = 0
    n = n - 2
    If n < 0 Then Exit Do
Loop
WScript.Echo "do until", n
n = 10
Do
    n = n + 1
Loop While n < 5
WScript.Echo "loop while", n
Do
    n = n - 1
Loop Until n <= 7
WScript.Echo "loop until", n
Do
    n = n + 1
    If n > 12 Then Exit Do
Loop
WScript.Echo "plain do", n
While n > 10
    n = n - 1
Wend
WScript.Echo "while wend", n
For Each v In Array(1, 5, 10, "a", Null, Empty, 2.5)
    Select Case v
        Case 1
            s = "one"
        Case 2, 3, 5
            s = "two three or five"
        Case "a"
            s = "letter a"
        Case 2.5
            s = "two and a half"
        Case Else
            s = "else"
    End Select
    WScript.Echo "select", TypeName(v), s
Next
For i = 1 To 4
    If i = 1 Then
        s = "first"
    ElseIf i = 2 Then
        s = "second"
    ElseIf i = 3 Then
        s = "third"
    Else
        s = "other"
    End If
    WScript.Echo "if", i, s
Next
If Null Then WScript.Echo "null is true" Else WScript.Echo "null is not true"
If "True" Then WScript.Echo "string True"
If 0.1 Then WScript.Echo "nonzero"
For i = 1 To 2
    For j = 1 To 2
        WScript.Echo "nested", i, j
        If j = 1 Then Exit For
    Next
Next
i = 1
Do While i < 100
    Do
        i = i * 3
        If i > 10 Then Exit Do
    Loop
    i = i + 1
Loop
WScript.Echo "nested do", i
For i = 1 To 3
    i = i + 1
Next
WScript.Echo "changed counter", i
