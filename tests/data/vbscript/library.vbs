' Procedure references, the engine's name and version, the locale, and Escape
Function Twice(f, v)
    Twice = f(f(v))
End Function
Function AddOne(v)
    AddOne = v + 1
End Function
Sub Greet()
    WScript.Echo "greet"
End Sub
Dim inc : Set inc = GetRef("AddOne")
WScript.Echo TypeName(inc), inc(1), Twice(inc, 5), Twice(GetRef("addone"), 0)
Dim greeter : Set greeter = GetRef("Greet")
greeter
Call greeter()
Function Callback()
    Set Callback = GetRef("Greet")
End Function
Callback
Call Callback()
WScript.Echo "returned reference not called"
On Error Resume Next
Set inc = GetRef("NoSuchProcedure")
WScript.Echo "missing", Err.Number, Err.Description
Err.Clear
On Error GoTo 0
WScript.Echo ScriptEngine, ScriptEngineMajorVersion, ScriptEngineMinorVersion, TypeName(ScriptEngineBuildVersion)
WScript.Echo GetLocale, SetLocale("en-us"), SetLocale(1033), GetLocale
On Error Resume Next
SetLocale 2052
WScript.Echo "other locale", Err.Number, GetLocale
Err.Clear
On Error GoTo 0
WScript.Echo Escape("Lot A&B/7 ~ 100%"), Escape("中文"), Escape("@*_+-./09azAZ")
WScript.Echo Unescape("%41%u4E2D%zz%4%u12"), Unescape(Escape("x=1; y=中 文")), IsNull(Escape(Null))
' A procedure reference as RegExp.Replace's replacement is called for each match
Function Shout(m, word, pos, src)
    Shout = UCase(m) & "@" & pos
End Function
Function Doubled(m, pos, src)
    Doubled = m * 2
End Function
Dim re : Set re = New RegExp
re.Global = True
re.Pattern = "(\w+)"
WScript.Echo re.Replace("lot no", GetRef("Shout"))
re.Pattern = "\d+"
WScript.Echo re.Replace("a1b22", GetRef("Doubled"))
On Error Resume Next
re.Pattern = "(\d)"
WScript.Echo re.Replace("1", GetRef("Doubled"))
WScript.Echo "replacement with the wrong arguments", Err.Number
Err.Clear
