' Number and date formatting
On Error Resume Next
Dim v
Err.Clear : v = Empty : v = FormatNumber(1234.567) : Show "FormatNumber(1234.567)"
Err.Clear : v = Empty : v = FormatNumber(1234.567, 1) : Show "FormatNumber(1234.567, 1)"
Err.Clear : v = Empty : v = FormatNumber(1234.567, 0) : Show "FormatNumber(1234.567, 0)"
Err.Clear : v = Empty : v = FormatNumber(-1234.5) : Show "FormatNumber(-1234.5)"
Err.Clear : v = Empty : v = FormatNumber(-1234.5, 2, True, True) : Show "FormatNumber(-1234.5, 2, True, True)"
Err.Clear : v = Empty : v = FormatNumber(0.5) : Show "FormatNumber(0.5)"
Err.Clear : v = Empty : v = FormatNumber(0.5, 2, False) : Show "FormatNumber(0.5, 2, False)"
Err.Clear : v = Empty : v = FormatNumber(1234567, 2, True, False, False) : Show "FormatNumber(1234567, 2, True, False, False)"
Err.Clear : v = Empty : v = FormatNumber("12.5") : Show "FormatNumber(""12.5"")"
Err.Clear : v = Empty : v = FormatNumber("abc") : Show "FormatNumber(""abc"")"
Err.Clear : v = Empty : v = FormatNumber(Null) : Show "FormatNumber(Null)"
Err.Clear : v = Empty : v = FormatCurrency(1234.5) : Show "FormatCurrency(1234.5)"
Err.Clear : v = Empty : v = FormatCurrency(-5) : Show "FormatCurrency(-5)"
Err.Clear : v = Empty : v = FormatCurrency(0.125, 2) : Show "FormatCurrency(0.125, 2)"
Err.Clear : v = Empty : v = FormatCurrency(1234.5, 0) : Show "FormatCurrency(1234.5, 0)"
Err.Clear : v = Empty : v = FormatPercent(0.5) : Show "FormatPercent(0.5)"
Err.Clear : v = Empty : v = FormatPercent(0.12345, 1) : Show "FormatPercent(0.12345, 1)"
Err.Clear : v = Empty : v = FormatPercent(-0.25) : Show "FormatPercent(-0.25)"
Err.Clear : v = Empty : v = FormatPercent(12.5, 0) : Show "FormatPercent(12.5, 0)"
Err.Clear : v = Empty : v = FormatDateTime(#2/3/2004 5:06:07 PM#) : Show "FormatDateTime(#2/3/2004 5:06:07 PM#)"
Err.Clear : v = Empty : v = FormatDateTime(#2/3/2004 5:06:07 PM#, vbLongDate) : Show "FormatDateTime(#2/3/2004 5:06:07 PM#, vbLongDate)"
Err.Clear : v = Empty : v = FormatDateTime(#2/3/2004 5:06:07 PM#, vbShortDate) : Show "FormatDateTime(#2/3/2004 5:06:07 PM#, vbShortDate)"
Err.Clear : v = Empty : v = FormatDateTime(#2/3/2004 5:06:07 PM#, vbLongTime) : Show "FormatDateTime(#2/3/2004 5:06:07 PM#, vbLongTime)"
Err.Clear : v = Empty : v = FormatDateTime(#2/3/2004 5:06:07 PM#, vbShortTime) : Show "FormatDateTime(#2/3/2004 5:06:07 PM#, vbShortTime)"
Err.Clear : v = Empty : v = FormatDateTime(#2/3/2004#, 0) : Show "FormatDateTime(#2/3/2004#, 0)"
Err.Clear : v = Empty : v = FormatDateTime(#5:06:07 AM#, 0) : Show "FormatDateTime(#5:06:07 AM#, 0)"

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
