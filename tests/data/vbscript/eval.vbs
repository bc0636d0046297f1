' Eval, Execute and ExecuteGlobal
Dim x
x = 5
WScript.Echo "eval", Eval("x * 2"), Eval("x = 5"), TypeName(Eval("1 & 1"))
Execute "y = x + 1"
WScript.Echo "execute", y
ExecuteGlobal "Function Sq(n) : Sq = n * n : End Function"
WScript.Echo "executeglobal", Sq(7)
Execute "WScript.Echo ""from executed code"""
On Error Resume Next
Execute "If"
WScript.Echo "syntax error at run time", Err.Number, Err.Description
Err.Clear
z = Eval("1 +")
WScript.Echo "eval syntax error", Err.Number
Function Local(n)
    Dim t
    t = n + 1
    Execute "t = t * 10"
    Local = Eval("t + n")
End Function
WScript.Echo "locals", Local(2), "[" & t & "]"
On Error Resume Next
Execute "If t = 1 Then"
WScript.Echo "block without its end", Err.Number, Err.Description
Err.Clear
Execute "If True Then WScript.Echo ""one line"""
WScript.Echo "one line if", Err.Number
ExecuteGlobal "Dim Total" & vbCrLf & "Function Total()" & vbCrLf & "Total = 5" & vbCrLf & "End Function"
WScript.Echo "variable named as a function", Err.Number, Err.Description
Err.Clear
ExecuteGlobal "Sub Twice()" & vbCrLf & "End Sub" & vbCrLf & "Sub Twice()" & vbCrLf & "WScript.Echo ""second wins""" & vbCrLf & "End Sub"
Twice
WScript.Echo "procedure declared twice", Err.Number
