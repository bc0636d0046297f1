' Lexical forms: comments, Rem, continuation, separators, literals, case
Rem a comment line
REM another one
Dim a, B : a = 1 : b = 2 ' a trailing comment
WScript.Echo "sum", A + B
WScript.Echo "con" & _
    "tinued", _
    1 + _
    2
x = 5: Rem a Rem after a colon
WScript.Echo "x =", X
WScript.Echo "quote: ""q"" done"
WScript.Echo &H10, &HFF, &H7FFF, &HFFFF, &H10000, &o17, &O777
WScript.Echo TypeName(&HFFFF), TypeName(&H10000), TypeName(32768), TypeName(2147483648)
WScript.Echo 1.5E3, 2e-3, .5, 5.
WScript.Echo #1/2/2003#, #2003-01-02 13:45:00#, #13:45#
WScript.Echo TypeName(#1/2/2003#)
WSCRIPT.ECHO "case", a, B
Dim [my var]
[my var] = "bracketed"
WScript.Echo [my var]
WScript.Echo "tabs"	&	"ok"
If True Then WScript.Echo "one-line if" : WScript.Echo "second statement"
If False Then WScript.Echo "no" Else WScript.Echo "else part"
