' Run-time errors and the Err object
On Error Resume Next
x = 1 / 0
WScript.Echo "division", Err.Number, Err.Description
Err.Clear
WScript.Echo "cleared", Err.Number, "[" & Err.Description & "]"
x = CInt("z")
WScript.Echo "mismatch", Err.Number, Err.Description
Err.Raise 1000
WScript.Echo "raise unknown", Err.Number, Err.Description
Err.Raise 9
WScript.Echo "raise known", Err.Number, Err.Description
Err.Raise vbObjectError + 1, "MySource", "my own error"
WScript.Echo "raise custom", Err.Number, Err.Description, Err.Source
Err.Clear
Dim o
o.Foo
WScript.Echo "object required", Err.Number, Err.Description
Set o = Nothing
o.Foo
WScript.Echo "not set", Err.Number, Err.Description
x = Null + 1
WScript.Echo "null arithmetic is no error", Err.Number
Err.Clear
x = CLng(Null)
WScript.Echo "null conversion", Err.Number, Err.Description
x = Chr(300)
WScript.Echo "bad argument", Err.Number, Err.Description
x = Left("abc")
WScript.Echo "argument count", Err.Number, Err.Description
Sub Fails()
    x = 1 / 0
    WScript.Echo "not reached in Fails"
End Sub
Err.Clear
Fails
WScript.Echo "after failing sub", Err.Number
Sub Handles()
    On Error Resume Next
    x = 1 / 0
    WScript.Echo "inside handles", Err.Number
End Sub
Err.Clear
Handles
WScript.Echo "after handling sub", Err.Number
Err.Clear
If 1 / 0 = 1 Then WScript.Echo "error in condition enters the branch"
WScript.Echo "condition error", Err.Number
Err.Clear
x = 1
x = x + "a"
WScript.Echo "kept value", x, Err.Number
Err.Clear
y = UnknownFunction(1)
WScript.Echo "unknown function", Err.Number
Err.Clear
Set s = 5
WScript.Echo "set non-object", Err.Number, Err.Description
Err.Clear
x = CreateObject("Scripting.Dictionary")
WScript.Echo "create object", Err.Number
Err.Clear
x = Err
WScript.Echo "default member", x
On Error GoTo 0
WScript.Echo "goto 0 clears", Err.Number
On Error Resume Next
Err.Raise 1000, , "no source given"
WScript.Echo "raise without source", Err.Number, Err.Source, Err.Description
Err.Clear
Err.Raise vbObjectError + 7, , "object error"
WScript.Echo "raise object error", Err.Number - vbObjectError, Err.Description
Err.Clear
