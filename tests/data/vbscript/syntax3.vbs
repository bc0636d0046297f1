' Not after a comparison, a continuation before a member, End If after a statement.
ok = (True <> Not True)
WScript.Echo "not after <>", ok
a = 1 : b = 0
x = a = Not b
WScript.Echo "not after =", x, (5 > Not 0), (0 = Not -1)
Class Chain
  Public n
  Public Function Ret()
    Dim c
    Set c = New Chain
    c.n = n + 1
    Set Ret = c
  End Function
  Public Sub Bump()
    n = n + 10
  End Sub
End Class
Set obj = New Chain
obj.n = 0
Set r = obj.Ret() _
  .Ret()
WScript.Echo "continued member", r.n
WScript.Echo "continued name", obj _
.Ret().n
Set r = obj _
  .Ret()
WScript.Echo "continued object", r.n
obj _
  .Bump
WScript.Echo "continued statement", obj.n
c = False
If c Then
  x = 1
Else x = 3 End If
WScript.Echo "else end if", x
If c Then
  x = 1
Else:x = 4 End If
WScript.Echo "else colon end if", x
If c Then
  x = 1
Else x = 5:y = 6 End If
WScript.Echo "else two end if", x, y
If Not c Then
  x = 7 End If
WScript.Echo "body end if", x
If c Then
  x = 1
ElseIf Not c Then x = 8 End If
WScript.Echo "elseif end if", x
