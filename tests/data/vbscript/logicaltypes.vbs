' Result types of And, Or, Xor, Eqv and Imp: a Boolean, a Byte and an Integer keep their
' type, anything else (Empty, text, a fraction, currency, a date) takes part as a Long;
' two operands give the type they share, else Long when one is a Long, else Integer.
' Null gives way where the other side decides alone, in that side's type.
Function Shown(v)
  Shown = TypeName(v)
  If Not IsNull(v) And Not IsEmpty(v) Then Shown = Shown & " " & v
End Function
Sub Row(x, y)
  WScript.Echo Shown(x), "op", Shown(y) & ":", Shown(x And y), "|", Shown(x Or y), "|", Shown(x Xor y), "|", _
    Shown(x Eqv y), "|", Shown(x Imp y)
End Sub
Class Flag
  Public Default Property Get Value()
    Value = True
  End Property
End Class
values = Array(Empty, True, False, CByte(170), CByte(255), CByte(0), CInt(5), CInt(-1), CInt(0), CLng(6), CLng(0), _
  CSng(2.5), CDbl(3.5), CDbl(0), CCur(9), CDate(1), "12")
For Each v In values
  Row Empty, v
Next
For Each v In values
  Row Null, v
  Row v, Null
Next
Row Null, Null
Row True, Empty
Row CByte(170), Empty
Row True, CByte(170)
Row CByte(170), CByte(15)
Row CInt(5), CSng(2.5)
Row True, "12"
Row CDate(-1), Null
Set f = New Flag
Row f, False
Row f, Null
