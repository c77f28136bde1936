' A whole OPOS session through late binding, as a VBScript application runs it: every output
' method and display setting once, with their edge values. Quits with 1 at the first call that
' answers anything but success; the bytes it caused are checked against the simulator's trace.
Option Explicit

Dim so, failures
Set so = CreateObject("VARNEL.ID_TARVO_VARNEL")
failures = 0

Sub Expect(what, actual, wanted)
  If actual <> wanted Then
    WScript.Echo "FAIL " & what & ": got " & actual & ", wanted " & wanted
    failures = failures + 1
  End If
End Sub

Expect "OpenService", so.OpenService("LineDisplay", "AnyName", Nothing), 0
Expect "version", so.GetPropertyNumber(8), 1013001
Expect "device name", so.GetPropertyString(1000003), "ORM-PDX-QA404K LineDisplay"
Expect "ClaimDevice", so.ClaimDevice(1000), 0
so.SetPropertyNumber 3, 1
Expect "enabled", so.GetPropertyNumber(3), 1
Expect "ResultCode after enable", so.GetPropertyNumber(6), 0

Expect "ClearText", so.ClearText(), 0
Expect "DisplayText ABC", so.DisplayText("ABC", 0), 0
' Chr uses the ANSI code page (Windows-1252): 233 is U+00E9 and 128 is U+20AC, which the display
' receives as their low bytes 0xE9 and 0xAC. (Wine's VBScript has no ChrW.)
Expect "DisplayText low bytes", so.DisplayText(Chr(233) & Chr(128), 1), 0
Expect "DisplayText empty", so.DisplayText("", 0), 0
Expect "DisplayTextAt top left", so.DisplayTextAt(0, 0, "A", 0), 0
Expect "DisplayTextAt bottom right", so.DisplayTextAt(1, 19, "Z", 0), 0
Expect "ScrollText left 0", so.ScrollText(3, 0), 0
Expect "ScrollText up 25", so.ScrollText(1, 25), 0
so.SetPropertyNumber 5018, 99
so.SetPropertyNumber 5018, 100
so.SetPropertyNumber 5018, 500
so.SetPropertyNumber 5019, 1
so.SetPropertyNumber 5012, 250
' A string argument where a number is expected is converted, as automation does.
Expect "DisplayTextAt with text numbers", so.DisplayTextAt("1", "2", "Q", "0"), 0

so.SetPropertyNumber 3, 0
Expect "disabled", so.GetPropertyNumber(3), 0
Expect "DisplayText while disabled", so.DisplayText("X", 0), 0
Expect "ReleaseDevice", so.ReleaseDevice(), 0
Expect "CloseService", so.CloseService(), 0
Set so = Nothing

If failures > 0 Then WScript.Quit 1
WScript.Echo "session complete"
