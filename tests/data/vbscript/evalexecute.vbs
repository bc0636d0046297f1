' Eval of Empty, Execute and ExecuteGlobal of an incomplete text and of an object's default member.
Class Snippet
  Public Default Property Get Text
    Text = "ran = ran + 1"
  End Property
End Class
Class Plain
  Public Text
End Class
On Error Resume Next
v = Eval(Empty)
WScript.Echo "eval empty", TypeName(v), Err.Number
Err.Clear
Execute "x = "
WScript.Echo "execute incomplete", Err.Number, Err.Description, Err.Source
Err.Clear
ExecuteGlobal "y = "
WScript.Echo "executeglobal incomplete", Err.Number, Err.Description, Err.Source
Err.Clear
ran = 0
Set s = New Snippet
Execute s
ExecuteGlobal s
WScript.Echo "execute object", Err.Number, ran
Set p = New Plain
p.Text = "ran = 100"
Execute p
WScript.Echo "no default member", Err.Number, ran
