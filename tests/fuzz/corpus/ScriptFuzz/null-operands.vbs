On Error Resume Next
Class C
  Public Default Property Get V()
    V = Array(True, 1)
  End Property
End Class
Set o = New C
x = Empty And CInt(5) : y = Null Or CByte(3) : z = CByte(170) Imp Null : w = True Imp Empty
x = o And Null : y = Null Xor "12" : z = Not Empty Eqv CDate(1)
Call CInt("") : CStr Null : Call CByte("-1") : Call CDate(Null) : Call CLng(1)
x = Join(o, Null) : x = Join(Array(1, Null)) : x = Filter(o, "1") : x = Join(Null)
x = InStrRev("abcd", Null) : x = Mid("test", 0, Null) : x = MonthName("a", Null) : x = WeekdayName("a", Null)
