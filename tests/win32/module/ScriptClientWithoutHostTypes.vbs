' A scripting client where the Host has never registered its type library: Init, called by name,
' fails before it runs, and the error it sees names the library that could not be loaded.
Set o = CreateObject("Polypad.PolypadComModule")
On Error Resume Next
o.Init Nothing, "Polypad"
number = Err.Number
description = Err.Description
On Error Goto 0
WScript.Echo "error " & Hex(number) & ": " & description
If number <> &H80029C4A Then WScript.Quit 2
If InStr(description, "Orvex Host Library") = 0 Then WScript.Quit 3
If InStr(description, "{DD5C1112-592F-11D3-9619-000021C6D845}") = 0 Then WScript.Quit 4
o.Done
Set o = Nothing
WScript.Echo "script client ok"
