' Code the way label scripts write it: shared helpers, counters, text building
Dim serial, batch, lines
serial = 998
batch = "B" & 7

Function PadLeft(value, width, fill)
    Dim s
    s = CStr(value)
    Do While Len(s) < width
        s = fill & s
    Loop
    PadLeft = s
End Function

Function CheckDigit(code)
    Dim i, total, digit
    total = 0
    For i = Len(code) To 1 Step -1
        digit = CInt(Mid(code, i, 1))
        If (Len(code) - i) Mod 2 = 0 Then
            total = total + digit * 3
        Else
            total = total + digit
        End If
    Next
    CheckDigit = (10 - total Mod 10) Mod 10
End Function

Sub NextLabel()
    serial = serial + 1
    If serial > 999 Then
        serial = 1
        batch = "B" & (CInt(Mid(batch, 2)) + 1)
    End If
End Sub

For n = 1 To 4
    NextLabel
    code = "690123" & PadLeft(serial, 6, "0")
    WScript.Echo batch & "-" & PadLeft(serial, 4, "0"), code & CheckDigit(code)
Next

made = DateSerial(2024, 2, 27)
For n = 0 To 3
    d = DateAdd("d", n, made)
    WScript.Echo "made " & Year(d) & "-" & Right("0" & Month(d), 2) & "-" & Right("0" & Day(d), 2), _
        "best before " & DateAdd("m", 6, d), WeekdayName(Weekday(d), True)
Next

weight = 1.5
For Each price In Array(3, 2.75, 12.5)
    total = price * weight
    WScript.Echo "price " & FormatNumber(total, 2), Round(total, 1), Int(total), CLng(total)
Next

parts = Split("red;green;;blue", ";")
For i = LBound(parts) To UBound(parts)
    If parts(i) = "" Then
        WScript.Echo i, "(none)"
    Else
        WScript.Echo i, UCase(Left(parts(i), 1)) & Mid(parts(i), 2), Len(parts(i))
    End If
Next
WScript.Echo Join(parts, "/"), Replace("a-b-c", "-", " "), InStr("label text", "text"), Trim("  x  ") & "|"

Select Case LCase("Text1")
    Case "text1", "text2"
        WScript.Echo "text object"
    Case Else
        WScript.Echo "other"
End Select

qty = "12"
If qty > 5 Then WScript.Echo "string against literal: more"
If CInt(qty) > 5 Then WScript.Echo "converted: more"
WScript.Echo qty + 1, qty & 1, qty * 2, -qty
