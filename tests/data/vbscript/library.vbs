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
