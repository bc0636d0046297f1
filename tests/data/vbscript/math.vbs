' Seeded random numbers repeat
Dim a, b
a = Rnd(-1)
b = Rnd
WScript.Echo "first", a, b
WScript.Echo "again", Rnd(-1) = a, Rnd = b
WScript.Echo "last", Rnd(0) = b
Randomize 10
c = Rnd
Randomize 10
WScript.Echo "randomize repeats", Rnd = c
WScript.Echo "range", Rnd < 1 And Rnd >= 0
