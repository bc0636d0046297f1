' An error no handler catches ends the script
WScript.Echo "before"
x = Array(1, 2)
WScript.Echo x(5)
WScript.Echo "never printed"
