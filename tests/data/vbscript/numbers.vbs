' Numeric built-ins
On Error Resume Next
Dim v
Err.Clear : v = Empty : v = Int(1.5) : Show "Int(1.5)"
Err.Clear : v = Empty : v = Int(-1.5) : Show "Int(-1.5)"
Err.Clear : v = Empty : v = Int("2.7") : Show "Int(""2.7"")"
Err.Clear : v = Empty : v = Int(Null) : Show "Int(Null)"
Err.Clear : v = Empty : v = Int(5) : Show "Int(5)"
Err.Clear : v = Empty : v = TypeName(Int(CSng(1.5))) : Show "TypeName(Int(CSng(1.5)))"
Err.Clear : v = Empty : v = Fix(1.5) : Show "Fix(1.5)"
Err.Clear : v = Empty : v = Fix(-1.5) : Show "Fix(-1.5)"
Err.Clear : v = Empty : v = Fix(-0.5) : Show "Fix(-0.5)"
Err.Clear : v = Empty : v = Round(2.5) : Show "Round(2.5)"
Err.Clear : v = Empty : v = Round(3.5) : Show "Round(3.5)"
Err.Clear : v = Empty : v = Round(-2.5) : Show "Round(-2.5)"
Err.Clear : v = Empty : v = Round(2.45, 1) : Show "Round(2.45, 1)"
Err.Clear : v = Empty : v = Round(1.2345, 2) : Show "Round(1.2345, 2)"
Err.Clear : v = Empty : v = Round(5) : Show "Round(5)"
Err.Clear : v = Empty : v = Round("2.5") : Show "Round(""2.5"")"
Err.Clear : v = Empty : v = Round(Null) : Show "Round(Null)"
Err.Clear : v = Empty : v = Round(1.5, -1) : Show "Round(1.5, -1)"
Err.Clear : v = Empty : v = Abs(-5) : Show "Abs(-5)"
Err.Clear : v = Empty : v = Abs(-5.5) : Show "Abs(-5.5)"
Err.Clear : v = Empty : v = Abs(-32768) : Show "Abs(-32768)"
Err.Clear : v = Empty : v = Abs("-3") : Show "Abs(""-3"")"
Err.Clear : v = Empty : v = Abs(Null) : Show "Abs(Null)"
Err.Clear : v = Empty : v = Abs(Empty) : Show "Abs(Empty)"
Err.Clear : v = Empty : v = Sgn(-3) : Show "Sgn(-3)"
Err.Clear : v = Empty : v = Sgn(0) : Show "Sgn(0)"
Err.Clear : v = Empty : v = Sgn(2.5) : Show "Sgn(2.5)"
Err.Clear : v = Empty : v = Sgn(Null) : Show "Sgn(Null)"
Err.Clear : v = Empty : v = Hex(255) : Show "Hex(255)"
Err.Clear : v = Empty : v = Hex(-1) : Show "Hex(-1)"
Err.Clear : v = Empty : v = Hex(-1.0) : Show "Hex(-1.0)"
Err.Clear : v = Empty : v = Hex(65536) : Show "Hex(65536)"
Err.Clear : v = Empty : v = Hex(-32768) : Show "Hex(-32768)"
Err.Clear : v = Empty : v = Hex("255") : Show "Hex(""255"")"
Err.Clear : v = Empty : v = Hex(Null) : Show "Hex(Null)"
Err.Clear : v = Empty : v = Hex(Empty) : Show "Hex(Empty)"
Err.Clear : v = Empty : v = Hex(2.5) : Show "Hex(2.5)"
Err.Clear : v = Empty : v = Oct(8) : Show "Oct(8)"
Err.Clear : v = Empty : v = Oct(-1) : Show "Oct(-1)"
Err.Clear : v = Empty : v = Oct(64) : Show "Oct(64)"
Err.Clear : v = Empty : v = Sqr(16) : Show "Sqr(16)"
Err.Clear : v = Empty : v = Sqr(2) : Show "Sqr(2)"
Err.Clear : v = Empty : v = Sqr(-1) : Show "Sqr(-1)"
Err.Clear : v = Empty : v = Sin(0) : Show "Sin(0)"
Err.Clear : v = Empty : v = Cos(0) : Show "Cos(0)"
Err.Clear : v = Empty : v = Tan(0) : Show "Tan(0)"
Err.Clear : v = Empty : v = Atn(1) * 4 : Show "Atn(1) * 4"
Err.Clear : v = Empty : v = Exp(1) : Show "Exp(1)"
Err.Clear : v = Empty : v = Exp(1000) : Show "Exp(1000)"
Err.Clear : v = Empty : v = Log(Exp(2)) : Show "Log(Exp(2))"
Err.Clear : v = Empty : v = Log(0) : Show "Log(0)"
Err.Clear : v = Empty : v = Log(-1) : Show "Log(-1)"

Sub Show(label)
    If Err.Number <> 0 Then
        WScript.Echo label & " -> error " & Err.Number & " " & Err.Description
    Else
        WScript.Echo label & " -> " & TypeName(v) & " " & Text(v)
    End If
    Err.Clear
End Sub

Function Text(x)
    If IsNull(x) Then
        Text = "Null"
    ElseIf IsArray(x) Then
        Text = "(" & Join(x, "|") & ")"
    ElseIf IsObject(x) Then
        Text = "<object>"
    Else
        Text = CStr(x)
    End If
End Function
