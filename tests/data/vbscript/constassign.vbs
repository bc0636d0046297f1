' A procedure that assigns to one of the script's constants compiles; the assignment
' raises 501 when it runs and the constant keeps its value.
Const limit = 10
Const label = "first"
Sub SetLimit()
  On Error Resume Next
  limit = 20
  WScript.Echo "sub", Err.Number, Err.Description, limit
End Sub
Function Relabel()
  On Error Resume Next
  label = "second"
  Relabel = Err.Number
End Function
Sub CountToLimit()
  For limit = 1 To 3
    WScript.Echo "never counted"
  Next
End Sub
Sub LoopOverLimit()
  On Error Resume Next
  CountToLimit
  WScript.Echo "for", Err.Number, limit
  Err.Clear
  For Each limit In Array(1, 2)
  Next
  WScript.Echo "for each", Err.Number, limit
  Err.Clear
  Set limit = Nothing
  WScript.Echo "set", Err.Number, TypeName(limit)
  Err.Clear
  ReDim limit(2)
  WScript.Echo "redim", Err.Number, limit
  Err.Clear
  Execute "limit = 30"
  WScript.Echo "execute", Err.Number, limit
End Sub
Sub Shadowed(label)
  Dim limit
  limit = 5
  label = "own"
  WScript.Echo "shadowed", limit, label
End Sub
Class Counter
  Public Sub Bump()
    On Error Resume Next
    limit = limit + 1
    WScript.Echo "method", Err.Number, limit
  End Sub
End Class
SetLimit
WScript.Echo "function", Relabel(), label
LoopOverLimit
Shadowed "given"
Set c = New Counter
c.Bump
Sub Uncaught()
  WScript.Echo "before"
  limit = 0
  WScript.Echo "never"
End Sub
Uncaught
WScript.Echo "never either"
