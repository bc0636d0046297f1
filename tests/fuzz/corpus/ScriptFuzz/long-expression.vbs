On Error Resume Next
Execute "x = 1" & Replace(Space(100000), " ", " + 1")
x = Eval("a" & Replace(Space(50000), " ", ".b"))
x = Eval("f" & Replace(Space(50000), " ", "(1)"))
ExecuteGlobal "Function H(n) : H = H(n + 1)" & Replace(Space(1900), " ", " & 1") & " : End Function"
x = H(0)
