' A syntax error stops the script before it runs
WScript.Echo "not printed"
If x Then
WScript.Echo "still not printed"
