' A scripting client: creates the class by its ProgID and calls the methods by name. Init with
' no Host object must fail with an error the script can see, not crash.
Set o = CreateObject("Polypad.PolypadComModule")
o.Synchronize
' Before Init there is no Host to show a window in: an error, not a crash.
On Error Resume Next
o.ShowHideForm
If Err.Number = 0 Then WScript.Quit 3
Err.Clear
o.Init Nothing, "Polypad"
If Err.Number = 0 Then WScript.Quit 2
Err.Clear
On Error Goto 0
o.Done
o.Done
Set o = Nothing
WScript.Echo "script client ok"
