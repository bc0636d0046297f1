' Subs, functions, argument passing
Function Add(a, b)
    Add = a + b
End Function

Sub Inc(x)
    x = x + 1
End Sub

Sub IncVal(ByVal x)
    x = x + 1
End Sub

Function Fact(n)
    If n <= 1 Then
        Fact = 1
        Exit Function
    End If
    Fact = n * Fact(n - 1)
End Function

Sub Early(ByRef out)
    out = "before"
    Exit Sub
    out = "after"
End Sub

Function NoResult()
End Function

Function Twice(ByRef x)
    x = x * 2
    Twice = x
End Function

Dim n, r
WScript.Echo "add", Add(2, 3), Add("a", "b")
n = 1
Inc n
WScript.Echo "byref", n
Inc(n)
WScript.Echo "parenthesised arg is byval", n
Call Inc(n)
WScript.Echo "call keyword", n
IncVal n
WScript.Echo "byval", n
Inc n + 0
WScript.Echo "expression arg", n
WScript.Echo "fact", Fact(10)
Early r
WScript.Echo "exit sub", r
WScript.Echo "no result", TypeName(NoResult()), TypeName(NoResult)
n = 3
WScript.Echo "twice", Twice(n), n
Dim g
g = "global"
Sub ShowGlobal()
    WScript.Echo "global seen", g
    g = "changed"
    local = "implicit local"
End Sub
ShowGlobal
WScript.Echo "after", g, "[" & local & "]"
Function Recurse(n)
    If n = 0 Then Recurse = "" Else Recurse = n & Recurse(n - 1)
End Function
WScript.Echo "recurse", Recurse(5)
Sub Shadow()
    Dim g
    g = "local"
    WScript.Echo "shadow", g
End Sub
Shadow
WScript.Echo "global still", g
Dim arr(2)
Sub FillArray(a)
    a(0) = "filled"
End Sub
FillArray arr
WScript.Echo "array byref", arr(0)
Function Later()
    Later = "defined after use"
End Function
