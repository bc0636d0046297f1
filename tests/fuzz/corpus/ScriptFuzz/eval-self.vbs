t = "Eval(t)" : x = Eval(t)
