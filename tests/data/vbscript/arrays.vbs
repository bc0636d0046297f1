' Arrays: fixed, dynamic, multi-dimensional, value semantics
On Error Resume Next
Dim a(3), m(2, 1), d(), c
a(0) = "zero" : a(3) = 3
WScript.Echo "fixed", UBound(a), LBound(a), a(0), a(3), TypeName(a(1)), TypeName(a)
a(4) = 1
WScript.Echo "out of range", Err.Number, Err.Description : Err.Clear
m(2, 1) = "corner"
WScript.Echo "multi", UBound(m), UBound(m, 2), m(2, 1)
WScript.Echo "bad dimension", UBound(m, 3), Err.Number : Err.Clear
x = m(1)
WScript.Echo "wrong index count", Err.Number : Err.Clear
ReDim d(2)
d(0) = "a" : d(1) = "b" : d(2) = "c"
ReDim Preserve d(4)
WScript.Echo "preserve", UBound(d), d(0), d(2), "[" & d(4) & "]"
ReDim Preserve d(1)
WScript.Echo "shrink", UBound(d), Join(d, ",")
ReDim d(1)
WScript.Echo "redim clears", "[" & d(0) & "]"
ReDim a(5)
WScript.Echo "redim fixed", Err.Number, Err.Description : Err.Clear
c = Array(1, 2, 3)
Dim e
e = c
e(0) = 99
WScript.Echo "copy on assign", c(0), e(0)
WScript.Echo "array()", UBound(Array()), TypeName(Array())
Erase d
WScript.Echo "erased", UBound(d), Err.Number : Err.Clear
Erase a
WScript.Echo "erase fixed", UBound(a), "[" & a(0) & "]"
Dim g(1, 2)
For i = 0 To 1
    For j = 0 To 2
        g(i, j) = i * 10 + j
    Next
Next
s = ""
For Each v In g
    s = s & v & " "
Next
WScript.Echo "for each 2d", s
ReDim p(1, 1)
p(1, 1) = "x"
ReDim Preserve p(1, 3)
WScript.Echo "preserve 2d", p(1, 1), UBound(p, 2)
ReDim Preserve p(2, 3)
WScript.Echo "preserve first dim", Err.Number : Err.Clear
n = 5
x = n(0)
WScript.Echo "index a number", Err.Number : Err.Clear
WScript.Echo "nested", Array(1, Array(2, 3))(1)(0)
ReDim q(-1)
WScript.Echo "empty redim", UBound(q)
