' Calls through parentheses, default members called by x() and by a bare name, objects given to Property Let.
Function F(v)
  F = v * 2
End Function
Sub S(v)
  WScript.Echo "sub got", v
End Sub
Call (((S))) ((4))
y = (F)(5)
WScript.Echo "parenthesised function", y, ((F))(1)
Class Getter
  Public Default Property Get Value()
    Value = "property value"
  End Property
End Class
Set g = New Getter
WScript.Echo "x()", g()
Class Runner
  Public Default Function Run()
    WScript.Echo "default function ran"
    Run = 1
  End Function
End Class
Set r = New Runner
r
Class Plain
  Public tag
End Class
Class Holder
  Private m_obj
  Public Property Let objProp(v)
    WScript.Echo "let got", TypeName(v), v.tag
  End Property
End Class
Set z = New Plain
z.tag = "plain"
Set x = New Holder
x.objProp = z
