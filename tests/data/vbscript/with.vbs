' With blocks and host-free objects
Class Point
    Public X, Y
End Class
Dim p
Set p = New Point
With p
    .X = 3
    .Y = 4
    WScript.Echo "with", .X, .Y, .X * .Y
End With
WScript.Echo "after", p.X + p.Y
