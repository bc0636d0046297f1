' Classes
Class Counter
    Private m_count
    Public Name
    Dim items(2)

    Private Sub Class_Initialize()
        m_count = 0
        Name = "counter"
    End Sub

    Public Property Get Count()
        Count = m_count
    End Property

    Public Property Let Count(value)
        If value < 0 Then Err.Raise 5
        m_count = value
    End Property

    Public Function Increment(by)
        m_count = m_count + by
        Increment = Me
    End Function

    Public Sub Reset()
        Count = 0
    End Sub

    Public Default Function Describe()
        Describe = Name & "=" & m_count
    End Function
End Class

Class Holder
    Private m_obj
    Public Property Set Obj(o)
        Set m_obj = o
    End Property
    Public Property Get Obj()
        Set Obj = m_obj
    End Property
End Class

Dim c, d, h
Set c = New Counter
WScript.Echo "init", c.Name, c.Count
c.Count = 5
WScript.Echo "let", c.Count
c.Increment 2
WScript.Echo "method", c.Count
WScript.Echo "default", c.Describe(), c
Set d = c
d.Count = 1
WScript.Echo "shared reference", c.Count
WScript.Echo "is", c Is d, c Is New Counter
c.Reset
WScript.Echo "reset", c.Count
c.items(1) = "item"
WScript.Echo "array field", c.items(1)
WScript.Echo "typename", TypeName(c), IsObject(c), VarType(c)
Set h = New Holder
Set h.Obj = c
WScript.Echo "property set", h.Obj.Name
On Error Resume Next
c.Count = -1
WScript.Echo "raised in property", Err.Number
Err.Clear
c.Missing
WScript.Echo "missing member", Err.Number, Err.Description
Err.Clear
Set x = New NotAClass
WScript.Echo "unknown class", Err.Number, Err.Description
Set c = Nothing
WScript.Echo "nothing", c Is Nothing, TypeName(c)
' A public field that holds an object: indexes go to the object's default member
Class Shelf
    Private slots(3)
    Public Default Property Get Slot(i)
        Slot = slots(i)
    End Property
    Public Property Let Slot(i, v)
        slots(i) = v
    End Property
End Class
Class Rack
    Public Shelf
End Class
Dim rack
Set rack = New Rack
Set rack.Shelf = New Shelf
rack.Shelf(1) = "bolts"
WScript.Echo "field default", rack.Shelf(1), rack.Shelf.Slot(1), TypeName(rack.Shelf)
rack.Shelf(4) = "nuts"
WScript.Echo "field default range", Err.Number
Err.Clear
rack.Shelf = 7
WScript.Echo "field replaced", rack.Shelf
