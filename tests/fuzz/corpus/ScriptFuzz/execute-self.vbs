s = "Execute s" : Execute s
