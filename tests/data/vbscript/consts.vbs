' Constants are known before their line; Eval, Execute and GetRef check what they are given.
WScript.Echo "before its line", early
Const early = "early"
If False Then
  Const hidden = 42, negative = -2
End If
WScript.Echo "never run", hidden, negative
Sub S()
  WScript.Echo "in procedure", inner, early
  Const inner = 3.5
End Sub
S
On Error Resume Next
x = Eval("1 + ")
WScript.Echo "eval", Err.Number, Err.Description, Err.Source
Err.Clear
Execute "x = "
WScript.Echo "execute", Err.Number, Err.Source
Err.Clear
Execute 42
WScript.Echo "execute number", Err.Number
Err.Clear
WScript.Echo "eval null", IsNull(Eval(Null)), Err.Number
r = GetRef(123)
WScript.Echo "getref number", Err.Number
Err.Clear
r = GetRef(Null)
WScript.Echo "getref null", Err.Number
Err.Clear
r = GetRef(Empty)
WScript.Echo "getref empty", Err.Number
