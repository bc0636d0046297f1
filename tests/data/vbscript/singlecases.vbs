' Single cases where the standard engine raises another error or runs other code.
Class Item
  Public Amount
  Public Default Property Get Value
    Value = 42
  End Property
End Class
Class Holder
  Public Property Let Content(v)
    WScript.Echo "let receives", TypeName(v)
  End Property
End Class
On Error Resume Next
Set it = New Item
it.Amount = 1
it.Amount(0) = 5
WScript.Echo "index on a scalar property", Err.Number, it.Amount
Err.Clear
Dim fixed(2)
ReDim Preserve fixed("abc")
WScript.Echo "redim preserve with a text bound", Err.Number, UBound(fixed)
Err.Clear
ReDim Preserve fixed(4)
WScript.Echo "redim preserve of a fixed array", Err.Number, UBound(fixed)
Err.Clear
Set h = New Holder
h.Content = it
WScript.Echo "let", Err.Number
className = "Item"
Set made = New className
WScript.Echo "new of a variable", Err.Number, TypeName(made)
Err.Clear
Set made = New NoSuchClassAnywhere
WScript.Echo "new of an unknown name", Err.Number
Err.Clear
WScript.Echo "help button", TypeName(vbMsgBoxHelpButton), vbMsgBoxHelpButton
n = 0
For Each e In it.Missing
  n = n + 1
Next
WScript.Echo "for each over a failed expression", n, Err.Number
Err.Clear
For Each e In it.Missing
  Exit For
Next
WScript.Echo "exit for before next", Err.Number
Err.Clear
With Empty
  WScript.Echo "with body runs", Err.Number
End With
WScript.Echo "with empty", Err.Number
