' Arguments the built-in functions check, Err.Raise, RegExp, dates.
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
x = InStr(Null, "a") : Try "instr null", x
x = InStr(1, "abc", "b", Null) : Try "instr compare null", x
x = InStr(1, "abc", "b", 2) : Try "instr compare 2", x
x = InStr(1, Null, "b", 5) : Try "instr null compare 5", x
x = InStrRev("abc", "b", Null) : Try "instrrev start null", x
x = InStrRev("abc", "b", -1, 3) : Try "instrrev compare 3", x
x = Mid("abc", Null) : Try "mid null start", x
x = Mid(Null, 1, Null) : Try "mid null length", x
x = Split("a,b", ",", -1, Null) : Try "split compare null", x
x = Split("a,b", ",", -1, 2) : Try "split compare 2", x
x = Right(Null, Null) : Try "right null length", x
x = Replace("abc", "b", "x", 1, -1, Null) : Try "replace null compare", x
x = Replace("abc", "b", "x", 1, -1, 2) : Try "replace compare 2", x
x = Weekday(Null, Null) : Try "weekday null first", x
x = Weekday(Now, 8) : Try "weekday first 8", x
x = MonthName(Null) : Try "monthname null", x
x = MonthName(1, Null) : Try "monthname abbreviate null", x
x = DateAdd("q", 1, Null) : Try "dateadd null date", x
Class Num
  Public Default Property Get Value()
    Value = 42
  End Property
End Class
Set n = New Num
x = IsNumeric(n) : Try "isnumeric object", x
Err.Raise 1001, "src", "first text", "help.chm", 77
WScript.Echo "help", Err.Number, Err.HelpFile, Err.HelpContext
Err.Raise 5
WScript.Echo "bare raise", Err.Number, Err.Source, Err.Description, Err.HelpFile
Err.Clear
Err.Raise &h10000&
WScript.Echo "too large", Err.Number
Err.Clear
Err.Raise &h8007000E&
WScript.Echo "hresult", Err.Number, Err.Description
Err.Clear
Err.Raise vbObjectError + 3
WScript.Echo "object error", Err.Number
Err.Clear
Set re = New RegExp
re.Pattern = "b"
x = re.Replace("abc", True) : Try "regexp boolean", x
x = vbMsgBoxHelpButton + vbMsgBoxSetForeground + vbMsgBoxRight + vbMsgBoxRtlReading : Try "constants", x
x = CDbl(TimeValue("2024-03-05 08:30:00")) = CDbl(TimeSerial(8, 30, 0)) : Try "timevalue", x
x = Day("15.03.2026") : Try "day with dots", x
x = DateValue("15.03.2026") : Try "datevalue with dots", x
