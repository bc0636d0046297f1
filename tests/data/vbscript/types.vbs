' Types of results, and literals compared with literals.
Sub Show(what, v)
  WScript.Echo what, TypeName(v), v
End Sub
Show "empty and", Empty And Empty
Show "empty or", Empty Or Empty
Show "empty xor", Empty Xor Empty
Show "empty eqv", Empty Eqv Empty
Show "empty imp", Empty Imp Empty
Show "not empty", Not Empty
Show "long hex", &hFFFFFFFF&
Show "long hex digits", &H00000000000000FF
Show "byte imp null", CByte(0) Imp Null
Show "round boolean", Round(True)
WScript.Echo "single compare", CSng(0.1) = 0.1
Show "cbyte true", CByte(True)
Show "cdate number", CDate("1")
WScript.Echo "first rnd", Rnd(0)
WScript.Echo "string literal = number literal", "42" = 42, 1 < "1"
On Error Resume Next
x = ("abc" = 5)
WScript.Echo "not a number", Err.Number
