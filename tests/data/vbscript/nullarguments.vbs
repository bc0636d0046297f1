' Null and wrong arguments of the string, list and name built-ins: an argument that
' cannot be Null is 94 before any argument is range-checked or converted; only the
' text searched by InStr or cut by Mid may be Null (InStrRev takes no Null at all).
On Error Resume Next
Sub Try(what, v)
  If Err.Number Then
    WScript.Echo what, "error", Err.Number
  Else
    WScript.Echo what, TypeName(v), v
  End If
  Err.Clear
  x = Empty
End Sub
Class Plain
  Public v
End Class
Class Listing
  Public Default Property Get Items()
    Items = Array("a", "b")
  End Property
End Class
Set plainObject = New Plain
Set listing = New Listing
x = InStrRev("abcd", Null) : Try "instrrev null sought", x
x = InStrRev(Null, "b") : Try "instrrev null text", x
x = InStrRev("abcd", "b", 0) : Try "instrrev start 0", x
x = InStrRev("abcd", "b", 0, Null) : Try "instrrev start 0 compare null", x
x = InStrRev(Null, "abcd", 2, 0) : Try "instrrev null text, all given", x
x = InStrRev("abcd", Null, 2, 0) : Try "instrrev null sought, all given", x
x = InStrRev("abcd", "b", Null, 0) : Try "instrrev null start, all given", x
x = InStrRev("abcd", "b", 2, Null) : Try "instrrev null compare, all given", x
x = InStr(2, Null, "abcd") : Try "instr null text", x
x = InStr(2, "abcd", Null) : Try "instr null sought", x
x = Mid("test", 0, Null) : Try "mid start 0 null length", x
x = Mid("test", 2, Null) : Try "mid null length", x
x = Mid("test", 0) : Try "mid start 0", x
x = Mid(Null, 2) : Try "mid null text", x
x = Mid(Null, 0) : Try "mid null text start 0", x
x = Join(Null) : Try "join null", x
x = Join(plainObject) : Try "join object", x
x = Join(listing, "+") : Try "join default array", x
x = Join(Array(1, Null)) : Try "join null element", x
x = Join(Array(Array(1))) : Try "join array element", x
x = Join(Array(), Null) : Try "join null delimiter", x
x = Join(Array(1, 2.5, True, Empty), "/") : Try "join values", x
x = Filter(Null, "a") : Try "filter null", x
x = Filter(plainObject, "a") : Try "filter object", x
x = Filter(Array("ab", Null), "a") : Try "filter null element", x
x = Filter(Array("ab"), Null) : Try "filter null value", x
x = Join(Filter(listing, "b"), ",") : Try "filter default array", x
x = MonthName("a", Null) : Try "monthname text null", x
x = MonthName("a") : Try "monthname text", x
x = MonthName(13, Null) : Try "monthname 13 null", x
x = WeekdayName("a", Null) : Try "weekdayname text null", x
x = WeekdayName(8, False, Null) : Try "weekdayname 8 first null", x
x = WeekdayName(Null) : Try "weekdayname null", x
