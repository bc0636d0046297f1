' Conversions called as statements convert first: a value that does not convert gives
' the conversion's own error, and only one that did raises 458.
On Error Resume Next
Sub Report(what)
  WScript.Echo what, Err.Number
  Err.Clear
End Sub
Call CInt("")
Report "call cint empty text"
Call CInt(40000)
Report "call cint too big"
Call CInt("12")
Report "call cint number text"
CInt ""
Report "cint statement empty text"
Call CByte("-1")
Report "call cbyte minus one"
Call CByte(255)
Report "call cbyte 255"
Call CDate(Null)
Report "call cdate null"
Call CDate("no date")
Report "call cdate text"
Call CDate("1/2/2003")
Report "call cdate date text"
CStr Null
Report "cstr statement null"
Call CStr(Array(1))
Report "call cstr array"
Call CStr(Empty)
Report "call cstr empty"
Call CLng("x")
Report "call clng text"
Call CLng(2147483648)
Report "call clng too big"
Call CDbl(Null)
Report "call cdbl null"
Call CDbl("1e3")
Report "call cdbl number text"
Call CSng("1e39")
Report "call csng too big"
Call CBool("maybe")
Report "call cbool text"
Call CBool("true")
Report "call cbool true text"
Call CCur(Null)
Report "call ccur null"
Call CCur("1.5")
Report "call ccur number text"
Function Twice(v)
  Twice = v * 2
End Function
Call CInt(Twice("x"))
Report "argument fails first"
