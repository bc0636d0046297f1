Sub OnLabelStart()
  oText.Value = "A" & Right("000" & oCount, 3)
  oCount = oCount + 1
End Sub
Function Main()
  Main = Eval("1 + 2 * 3") & Split("a,b", ",")(1)
End Function
