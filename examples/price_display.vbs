' A sample OPOS application: a price display. The upper line shows the item just scanned, the
' lower line the running total. It creates the service object by its ProgID and calls it by
' name, as an OPOS Control Object does on an application's behalf.
'
' Needs: VARNEL.dll registered (regsvr32), the device's OPOS registry key with Comport and
' Baudrate, and the device-name file naming that key (see the README).
'
'   cscript //nologo price_display.vbs
Option Explicit

Const PIDX_DeviceEnabled = 3
Const PIDX_ResultCode = 6
Const PIDX_ServiceObjectVersion = 8
Const PIDX_DeviceDescription = 1000002
Const PIDXDisp_BlinkRate = 5018
Const PIDXDisp_CursorType = 5019
Const DISP_DT_NORMAL = 0
Const COLUMNS = 20

Dim so
Set so = CreateObject("VARNEL.ID_TARVO_VARNEL")

' Stops the sample with a message when a call did not succeed.
Sub Check(what, result)
  WScript.Echo Left(what & Space(40), 40) & " -> " & result & "   (ResultCode " & so.GetPropertyNumber(PIDX_ResultCode) & ")"
  If result <> 0 Or so.GetPropertyNumber(PIDX_ResultCode) <> 0 Then
    WScript.Echo "price_display: " & what & " failed"
    WScript.Quit 1
  End If
End Sub

' A display line: the label on the left, the amount on the right, twenty characters in all.
Function PriceLine(label, amount)
  Dim text
  text = FormatNumber(amount, 2, True, False, False)
  PriceLine = Left(label, COLUMNS - Len(text) - 1)
  PriceLine = PriceLine & Space(COLUMNS - Len(PriceLine) - Len(text)) & text
End Function

Check "OpenService", so.OpenService("LineDisplay", "PoleDisplay", Nothing)
WScript.Echo "Service object version " & so.GetPropertyNumber(PIDX_ServiceObjectVersion) & _
             ", " & so.GetPropertyString(PIDX_DeviceDescription)
Check "ClaimDevice", so.ClaimDevice(1000)
so.SetPropertyNumber PIDX_DeviceEnabled, 1
Check "DeviceEnabled = 1", 0
so.SetPropertyNumber PIDXDisp_CursorType, 0

Dim items, prices, i, total
items = Array("Coffee beans 500g", "Milk 1l", "Croissant")
prices = Array(7.9, 1.15, 1.4)
total = 0
Check "ClearText", so.ClearText()
For i = 0 To UBound(items)
  total = total + prices(i)
  Check "DisplayTextAt item " & (i + 1), so.DisplayTextAt(0, 0, PriceLine(items(i), prices(i)), DISP_DT_NORMAL)
  Check "DisplayTextAt total", so.DisplayTextAt(1, 0, PriceLine("TOTAL", total), DISP_DT_NORMAL)
Next
so.SetPropertyNumber PIDXDisp_BlinkRate, 500

Check "ReleaseDevice", so.ReleaseDevice()
Check "CloseService", so.CloseService()
WScript.Echo "price display: done"
