' Recursion goes as deep as the stack allows; Execute, ExecuteGlobal and Eval count
' against the same budget and end in "Out of stack space", never a crash.
Function Depth(n)
  If n = 0 Then Depth = 0 Else Depth = 1 + Depth(n - 1)
End Function
WScript.Echo Depth(300)
On Error Resume Next
s = "Execute s"
Execute s
WScript.Echo "execute", Err.Number, Err.Description
Err.Clear
g = "ExecuteGlobal g"
ExecuteGlobal g
WScript.Echo "global", Err.Number
Err.Clear
t = "Eval(t)"
x = Eval(t)
WScript.Echo "eval", Err.Number
Err.Clear
Function Forever(n)
  Forever = Forever(n + 1)
End Function
x = Forever(0)
WScript.Echo "recursion", Err.Number, Err.Source
Err.Clear
For i = 1 To 3
  Execute "k = k + 1"
Next
WScript.Echo "k", k
' Long expressions: a sum of 1500 terms is fine; one of 100,000 is refused, and a
' deep expression evaluated at every level of a recursion stops it the same way.
Execute "x = 1" & Replace(Space(1499), " ", " + 1")
WScript.Echo "sum", x, Err.Number
Err.Clear
x = Empty
Execute "x = 1" & Replace(Space(100000), " ", " + 1")
WScript.Echo "long sum", IsEmpty(x), Err.Number, Err.Description
Err.Clear
x = Eval("a" & Replace(Space(50000), " ", ".b"))
WScript.Echo "long member chain", Err.Number
Err.Clear
ExecuteGlobal "Function Heavy(n) : Heavy = Heavy(n + 1)" & Replace(Space(1900), " ", " + 1") & " : End Function"
x = Heavy(0)
WScript.Echo "deep sum in recursion", Err.Number
Err.Clear
