' A script's own class named RegExp leaves New RegExp to the language's.
Class RegExp
  Public Pattern
End Class
Set re = New RegExp
re.Pattern = "a+"
WScript.Echo TypeName(re), re.Test("baa")
