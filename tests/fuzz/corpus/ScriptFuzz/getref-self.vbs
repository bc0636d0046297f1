Function R(f)
  R = f(f)
End Function
Set g = GetRef("R")
x = g(g)
Sub S : Set h = GetRef("S") : h : End Sub
S
WScript.Echo Escape(Unescape("%u00%41%"))
