; The three settings of the installed display, and their checks. Shared by the settings page and
; the command line.
;
; Each check takes the text on the stack and leaves on the stack "" when it is acceptable, or the
; message that says what is wrong.

; The service object reads the device's key through a path of at most 99 characters. A 32-bit
; program on 64-bit Windows reads it below the longest base path,
; "SOFTWARE\Wow6432Node\OLEforRetail\ServiceOPOS\LineDisplay\" (58 characters), which leaves 41
; for the name. The same limit holds everywhere, so one name works for every program (docs/integrator.md:
; the integrator's installing section).
!define KIT_DEVICE_NAME_MAX 41
!define KIT_PORT_MAX 256
; The line speeds the display can be set to (the configuration utility offers the same list).
!define KIT_LINE_SPEEDS "9600 19200 38400 57600 115200"
!define KIT_LINE_SPEED_COUNT 5
!define KIT_DEFAULT_DEVICE_NAME "PoleDisplay"
!define KIT_DEFAULT_PORT 1
!define KIT_DEFAULT_SPEED 9600

; The characters a device name may hold: printable ASCII without the backslash, which separates
; registry keys. The device-name file is 8-bit text that the service object widens byte by byte,
; so only ASCII names reach the same key from both sides.
!define KIT_NAME_ALPHABET " !$\"#$$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`abcdefghijklmnopqrstuvwxyz{|}~"
!define KIT_DIGITS "0123456789"

; Answers in $R1 "1" when the character $R1 occurs in the alphabet $R2 (compared with case),
; "" when it does not.
Function CharIsIn
  Push $R3
  Push $R4
  Push $R5
  StrCpy $R3 0
  StrCpy $R5 ""
  ${Do}
    StrCpy $R4 $R2 1 $R3
    ${If} $R4 == ""
      ${Break}
    ${EndIf}
    ${If} $R4 S== $R1
      StrCpy $R5 1
      ${Break}
    ${EndIf}
    IntOp $R3 $R3 + 1
  ${Loop}
  StrCpy $R1 $R5
  Pop $R5
  Pop $R4
  Pop $R3
FunctionEnd

; Answers in $R1 the first character of $R0 that is not in the alphabet $R2, or "" when there is
; none.
Function FirstCharNotIn
  Push $R6
  Push $R7
  StrCpy $R6 0
  StrCpy $R7 ""
  ${Do}
    StrCpy $R1 $R0 1 $R6
    ${If} $R1 == ""
      ${Break}
    ${EndIf}
    StrCpy $R7 $R1
    Call CharIsIn
    ${If} $R1 != 1
      StrCpy $R1 $R7
      ${Break}
    ${EndIf}
    StrCpy $R1 ""
    IntOp $R6 $R6 + 1
  ${Loop}
  Pop $R7
  Pop $R6
FunctionEnd

Function CheckDeviceName
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  StrLen $R3 $R0
  StrCpy $R2 "${KIT_NAME_ALPHABET}"
  ${If} $R3 = 0
    StrCpy $R0 "The device name is empty."
  ${ElseIf} $R3 > ${KIT_DEVICE_NAME_MAX}
    StrCpy $R0 "The device name has $R3 characters; at most ${KIT_DEVICE_NAME_MAX} fit the service object's registry key path."
  ${Else}
    Call FirstCharNotIn
    StrCpy $R2 $R0 1
    StrCpy $R3 $R0 1 -1
    ${If} $R1 S== "\"
      StrCpy $R0 "The device name must not contain a backslash."
    ${ElseIf} $R1 != ""
      StrCpy $R0 "The device name may hold only letters, digits, blanks and the punctuation of plain ASCII."
    ${ElseIf} $R2 == " "
    ${OrIf} $R3 == " "
      ; Blanks at either end are easily lost between the registry, the file and a person.
      StrCpy $R0 "The device name must not begin or end with a blank."
    ${Else}
      StrCpy $R0 ""
    ${EndIf}
  ${EndIf}
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; A port number: decimal digits without a leading zero, 1 to ${KIT_PORT_MAX}. The service object
; appends the text to "COM" unchanged, so "07" or "+7" would name no port.
Function CheckPort
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  StrLen $R3 $R0
  StrCpy $R2 "${KIT_DIGITS}"
  Call FirstCharNotIn
  StrCpy $R2 $R0 1
  ${If} $R3 = 0
  ${OrIf} $R3 > 3
  ${OrIf} $R1 != ""
  ${OrIf} $R2 == "0"
    StrCpy $R0 "The COM port must be a number from 1 to ${KIT_PORT_MAX} (not $\"$R0$\")."
  ${ElseIf} $R0 > ${KIT_PORT_MAX}
    StrCpy $R0 "The COM port must be a number from 1 to ${KIT_PORT_MAX} (not $\"$R0$\")."
  ${Else}
    StrCpy $R0 ""
  ${EndIf}
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; A line speed: one of the list, written exactly as there.
Function CheckLineSpeed
  Exch $R0
  Push $R1
  Push $R2
  StrCpy $R2 1
  ${Do}
    ${WordFind} "${KIT_LINE_SPEEDS}" " " "+$R2" $R1
    ${If} $R1 S== $R0
      StrCpy $R0 ""
      ${Break}
    ${EndIf}
    IntOp $R2 $R2 + 1
    ${If} $R2 > ${KIT_LINE_SPEED_COUNT}
      StrCpy $R0 "The line speed must be one of ${KIT_LINE_SPEEDS} bits per second (not $\"$R0$\")."
      ${Break}
    ${EndIf}
  ${Loop}
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd
