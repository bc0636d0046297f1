' RGB, Filter and the RegExp class.
WScript.Echo RGB(255, 0, 0), RGB(0, 255, 0), RGB(1, 2, 3), RGB(300, 0, 0)
f = Filter(Array("apple", "Banana", "cherry", "grape"), "an")
WScript.Echo UBound(f), Join(f, ",")
f = Filter(Array("apple", "Banana", "cherry"), "A", True, vbTextCompare)
WScript.Echo Join(f, ",")
f = Filter(Array("apple", "Banana", "cherry"), "a", False)
WScript.Echo Join(f, ",")
f = Filter(Array("x"), "none")
WScript.Echo UBound(f)

Set re = New RegExp
re.Pattern = "(\d+)-(\d+)"
WScript.Echo re.Test("a 12-34 b"), re.Test("none"), TypeName(re)
re.Global = True
Set ms = re.Execute("1-2, 33-44, x-5")
WScript.Echo ms.Count
For Each m In ms
  WScript.Echo m.Value, m.FirstIndex, m.Length, m.SubMatches.Count, m.SubMatches(0), m.SubMatches(1)
Next
WScript.Echo ms(1).Value, ms.Item(0), ms(1).SubMatches(1)
WScript.Echo re.Replace("1-2, 33-44", "$2:$1")
WScript.Echo re.Replace("1-2", "[$&] $$ $3")
re.Global = False
WScript.Echo re.Replace("1-2, 33-44", "<$1>")
Set re2 = CreateObject("VBScript.RegExp")
re2.Pattern = "^b.*$"
re2.IgnoreCase = True
re2.Global = True
WScript.Echo re2.Execute("Bat" & vbLf & "ball").Count
re2.Multiline = True
WScript.Echo re2.Execute("Bat" & vbLf & "ball").Count
re2.Pattern = "\u0041(x)?"
Set m = re2.Execute("A")(0)
WScript.Echo m.Value, IsEmpty(m.SubMatches(0))
On Error Resume Next
re2.Pattern = "(unclosed"
x = re2.Test("a")
WScript.Echo "bad pattern", Err.Number, Err.Description
' Text from files with CR LF line ends: with Multiline, ^ and $ meet either character
re2.Pattern = "^line\d$"
re2.Multiline = True
re2.Global = True
WScript.Echo "crlf lines", re2.Execute("line1" & vbCrLf & "line2" & vbCr & "line3").Count
re2.Multiline = False
WScript.Echo "one text", re2.Execute("line1" & vbCrLf & "line2").Count, re2.Test("line2")
re2.Pattern = "a.c"
WScript.Echo "dot", re2.Test("a" & vbCr & "c"), re2.Test("a" & vbLf & "c")
