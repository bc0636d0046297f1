' Date functions on fixed dates
On Error Resume Next
Dim v
Err.Clear : v = Empty : v = Year(#2/3/2004 5:06:07 PM#) : Show "Year(#2/3/2004 5:06:07 PM#)"
Err.Clear : v = Empty : v = Month(#2/3/2004#) : Show "Month(#2/3/2004#)"
Err.Clear : v = Empty : v = Day(#2/3/2004#) : Show "Day(#2/3/2004#)"
Err.Clear : v = Empty : v = Hour(#5:06:07 PM#) : Show "Hour(#5:06:07 PM#)"
Err.Clear : v = Empty : v = Minute(#5:06:07 PM#) : Show "Minute(#5:06:07 PM#)"
Err.Clear : v = Empty : v = Second(#5:06:07 PM#) : Show "Second(#5:06:07 PM#)"
Err.Clear : v = Empty : v = Year("2004-02-03") : Show "Year(""2004-02-03"")"
Err.Clear : v = Empty : v = Year(Null) : Show "Year(Null)"
Err.Clear : v = Empty : v = Weekday(#2/3/2004#) : Show "Weekday(#2/3/2004#)"
Err.Clear : v = Empty : v = Weekday(#2/3/2004#, vbMonday) : Show "Weekday(#2/3/2004#, vbMonday)"
Err.Clear : v = Empty : v = Weekday(#2/7/2004#) : Show "Weekday(#2/7/2004#)"
Err.Clear : v = Empty : v = WeekdayName(1) : Show "WeekdayName(1)"
Err.Clear : v = Empty : v = WeekdayName(1, True) : Show "WeekdayName(1, True)"
Err.Clear : v = Empty : v = WeekdayName(1, False, vbMonday) : Show "WeekdayName(1, False, vbMonday)"
Err.Clear : v = Empty : v = WeekdayName(8) : Show "WeekdayName(8)"
Err.Clear : v = Empty : v = MonthName(1) : Show "MonthName(1)"
Err.Clear : v = Empty : v = MonthName(12, True) : Show "MonthName(12, True)"
Err.Clear : v = Empty : v = MonthName(13) : Show "MonthName(13)"
Err.Clear : v = Empty : v = DateSerial(2004, 2, 3) : Show "DateSerial(2004, 2, 3)"
Err.Clear : v = Empty : v = DateSerial(2004, 13, 1) : Show "DateSerial(2004, 13, 1)"
Err.Clear : v = Empty : v = DateSerial(2004, 3, 0) : Show "DateSerial(2004, 3, 0)"
Err.Clear : v = Empty : v = DateSerial(2004, 0, 1) : Show "DateSerial(2004, 0, 1)"
Err.Clear : v = Empty : v = DateSerial(4, 1, 1) : Show "DateSerial(4, 1, 1)"
Err.Clear : v = Empty : v = DateSerial(99, 1, 1) : Show "DateSerial(99, 1, 1)"
Err.Clear : v = Empty : v = DateSerial(2004, 2, 30) : Show "DateSerial(2004, 2, 30)"
Err.Clear : v = Empty : v = DateSerial(10000, 1, 1) : Show "DateSerial(10000, 1, 1)"
Err.Clear : v = Empty : v = TimeSerial(13, 4, 5) : Show "TimeSerial(13, 4, 5)"
Err.Clear : v = Empty : v = TimeSerial(0, 90, 0) : Show "TimeSerial(0, 90, 0)"
Err.Clear : v = Empty : v = TimeSerial(25, 0, 0) : Show "TimeSerial(25, 0, 0)"
Err.Clear : v = Empty : v = CDbl(TimeSerial(12, 0, 0)) : Show "CDbl(TimeSerial(12, 0, 0))"
Err.Clear : v = Empty : v = DateValue("2/3/2004 5:06 PM") : Show "DateValue(""2/3/2004 5:06 PM"")"
Err.Clear : v = Empty : v = TimeValue("2/3/2004 5:06 PM") : Show "TimeValue(""2/3/2004 5:06 PM"")"
Err.Clear : v = Empty : v = DateAdd("d", 1, #2/28/2004#) : Show "DateAdd(""d"", 1, #2/28/2004#)"
Err.Clear : v = Empty : v = DateAdd("m", 1, #1/31/2004#) : Show "DateAdd(""m"", 1, #1/31/2004#)"
Err.Clear : v = Empty : v = DateAdd("m", -1, #3/31/2004#) : Show "DateAdd(""m"", -1, #3/31/2004#)"
Err.Clear : v = Empty : v = DateAdd("yyyy", 1, #2/29/2004#) : Show "DateAdd(""yyyy"", 1, #2/29/2004#)"
Err.Clear : v = Empty : v = DateAdd("q", 1, #1/15/2004#) : Show "DateAdd(""q"", 1, #1/15/2004#)"
Err.Clear : v = Empty : v = DateAdd("ww", 2, #1/1/2004#) : Show "DateAdd(""ww"", 2, #1/1/2004#)"
Err.Clear : v = Empty : v = DateAdd("h", 25, #1/1/2004#) : Show "DateAdd(""h"", 25, #1/1/2004#)"
Err.Clear : v = Empty : v = DateAdd("n", 90, #1/1/2004#) : Show "DateAdd(""n"", 90, #1/1/2004#)"
Err.Clear : v = Empty : v = DateAdd("s", -1, #1/1/2004#) : Show "DateAdd(""s"", -1, #1/1/2004#)"
Err.Clear : v = Empty : v = DateAdd("y", 1, #12/31/2004#) : Show "DateAdd(""y"", 1, #12/31/2004#)"
Err.Clear : v = Empty : v = DateAdd("w", 1, #1/1/2004#) : Show "DateAdd(""w"", 1, #1/1/2004#)"
Err.Clear : v = Empty : v = DateAdd("x", 1, #1/1/2004#) : Show "DateAdd(""x"", 1, #1/1/2004#)"
Err.Clear : v = Empty : v = DateDiff("d", #1/1/2004#, #3/1/2004#) : Show "DateDiff(""d"", #1/1/2004#, #3/1/2004#)"
Err.Clear : v = Empty : v = DateDiff("m", #1/31/2004#, #2/1/2004#) : Show "DateDiff(""m"", #1/31/2004#, #2/1/2004#)"
Err.Clear : v = Empty : v = DateDiff("yyyy", #12/31/2003#, #1/1/2004#) : Show "DateDiff(""yyyy"", #12/31/2003#, #1/1/2004#)"
Err.Clear : v = Empty : v = DateDiff("h", #1/1/2004 1:59#, #1/1/2004 2:00#) : Show "DateDiff(""h"", #1/1/2004 1:59#, #1/1/2004 2:00#)"
Err.Clear : v = Empty : v = DateDiff("n", #1/1/2004#, #1/2/2004#) : Show "DateDiff(""n"", #1/1/2004#, #1/2/2004#)"
Err.Clear : v = Empty : v = DateDiff("s", #1/1/2004#, #1/1/2004 0:01#) : Show "DateDiff(""s"", #1/1/2004#, #1/1/2004 0:01#)"
Err.Clear : v = Empty : v = DateDiff("ww", #1/1/2004#, #1/31/2004#) : Show "DateDiff(""ww"", #1/1/2004#, #1/31/2004#)"
Err.Clear : v = Empty : v = DateDiff("w", #1/1/2004#, #1/31/2004#) : Show "DateDiff(""w"", #1/1/2004#, #1/31/2004#)"
Err.Clear : v = Empty : v = DateDiff("q", #1/1/2004#, #12/31/2004#) : Show "DateDiff(""q"", #1/1/2004#, #12/31/2004#)"
Err.Clear : v = Empty : v = DateDiff("d", #3/1/2004#, #1/1/2004#) : Show "DateDiff(""d"", #3/1/2004#, #1/1/2004#)"
Err.Clear : v = Empty : v = DatePart("yyyy", #2/3/2004#) : Show "DatePart(""yyyy"", #2/3/2004#)"
Err.Clear : v = Empty : v = DatePart("q", #5/3/2004#) : Show "DatePart(""q"", #5/3/2004#)"
Err.Clear : v = Empty : v = DatePart("y", #2/3/2004#) : Show "DatePart(""y"", #2/3/2004#)"
Err.Clear : v = Empty : v = DatePart("w", #2/3/2004#) : Show "DatePart(""w"", #2/3/2004#)"
Err.Clear : v = Empty : v = DatePart("ww", #2/3/2004#) : Show "DatePart(""ww"", #2/3/2004#)"
Err.Clear : v = Empty : v = DatePart("h", #2/3/2004 5:00 PM#) : Show "DatePart(""h"", #2/3/2004 5:00 PM#)"
Err.Clear : v = Empty : v = DatePart("ww", #1/1/2021#, vbMonday, vbFirstFourDays) : Show "DatePart(""ww"", #1/1/2021#, vbMonday, vbFirstFourDays)"
Err.Clear : v = Empty : v = DatePart("ww", #1/4/2021#, vbMonday, vbFirstFourDays) : Show "DatePart(""ww"", #1/4/2021#, vbMonday, vbFirstFourDays)"
Err.Clear : v = Empty : v = DatePart("ww", #12/29/2003#, vbMonday, vbFirstFourDays) : Show "DatePart(""ww"", #12/29/2003#, vbMonday, vbFirstFourDays)"
Err.Clear : v = Empty : v = DatePart("ww", #1/1/2022#, vbSunday, vbFirstFullWeek) : Show "DatePart(""ww"", #1/1/2022#, vbSunday, vbFirstFullWeek)"
Err.Clear : v = Empty : v = DatePart("ww", #1/2/2022#, vbSunday, vbFirstFullWeek) : Show "DatePart(""ww"", #1/2/2022#, vbSunday, vbFirstFullWeek)"
Err.Clear : v = Empty : v = DatePart("ww", #1/2/2022#, vbSunday, vbFirstJan1) : Show "DatePart(""ww"", #1/2/2022#, vbSunday, vbFirstJan1)"
Err.Clear : v = Empty : v = DatePart("ww", #1/2/2022#, vbSunday, 4) : Show "DatePart(""ww"", #1/2/2022#, vbSunday, 4)"
Err.Clear : v = Empty : v = #2/3/2004# < #2/4/2004# : Show "#2/3/2004# < #2/4/2004#"
Err.Clear : v = Empty : v = IsDate(Now) : Show "IsDate(Now)"
Err.Clear : v = Empty : v = VarType(Date) : Show "VarType(Date)"
Err.Clear : v = Empty : v = VarType(Time) : Show "VarType(Time)"
Err.Clear : v = Empty : v = Now >= Date : Show "Now >= Date"
Err.Clear : v = Empty : v = Timer >= 0 : Show "Timer >= 0"
Err.Clear : v = Empty : v = Date = Int(Now) : Show "Date = Int(Now)"

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
