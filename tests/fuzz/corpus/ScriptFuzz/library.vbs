Option Explicit
Dim s : s = Replace(Mid(UCase("abc"), 2), "B", "x") & FormatNumber(1234.5, 1) & DateAdd("m", 1, DateSerial(2004, 1, 31))
ExecuteGlobal "Function G(ByVal a, ByRef b) : b = a : G = Join(Array(a, b), "","") : End Function"
