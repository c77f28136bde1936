; The installer's command line: /S (silent, handled by NSIS itself), /NCRC, the settings
;   /DEVICE=name  /PORT=number  /BAUD=speed
; /BRIDGE[=manual|auto], which installs the display bridge as a service (bridge_service.nsh),
; and /REPLACE, which lets the installation take over a device key of that name that belongs to
; another service object (its values are saved and restored at removal).
; A value with blanks is quoted, either the whole option ("/DEVICE=Front pole") or the value
; alone (/DEVICE="Front pole"). Any other option is refused, so a mistyped one cannot go
; unnoticed in a silent roll-out. (NSIS takes /D= away before; .onInit refuses it, because the
; installation folder is fixed.)

Var ArgDevice
Var ArgDeviceGiven
Var ArgPort
Var ArgPortGiven
Var ArgBaud
Var ArgBaudGiven
Var ArgReplaceGiven

; Takes one argument (quotes already removed) from $R0; sets $R9 to a message when it is refused.
Function TakeArgument
  Push $R1
  StrCpy $R1 $R0 8
  ${If} $R1 == "/DEVICE="
    StrCpy $ArgDevice $R0 "" 8
    StrCpy $ArgDeviceGiven 1
  ${ElseIf} $R1 == "/BRIDGE="
    StrCpy $ArgBridge $R0 "" 8
    StrCpy $ArgBridgeGiven 1
  ${ElseIf} $R0 == "/BRIDGE"
    StrCpy $ArgBridge ""
    StrCpy $ArgBridgeGiven 1
  ${Else}
    StrCpy $R1 $R0 6
    ${If} $R1 == "/PORT="
      StrCpy $ArgPort $R0 "" 6
      StrCpy $ArgPortGiven 1
    ${ElseIf} $R1 == "/BAUD="
      StrCpy $ArgBaud $R0 "" 6
      StrCpy $ArgBaudGiven 1
    ${ElseIf} $R0 S== "/REPLACE"
      StrCpy $ArgReplaceGiven 1
    ${ElseIf} $R0 S== "/S"
    ${OrIf} $R0 S== "/NCRC"
      ; NSIS's own switches.
    ${Else}
      StrCpy $R9 "Unknown option: $R0 (the options are /S, /DEVICE=name, /PORT=number, /BAUD=speed, /BRIDGE[=manual|auto] and /REPLACE)."
    ${EndIf}
  ${EndIf}
  Pop $R1
FunctionEnd

; Splits the command line into arguments at blanks outside quotes and takes each one. Leaves on
; the stack "" or the message for the first argument refused.
Function ReadCommandLine
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  Push $R9
  ${GetParameters} $R2
  StrCpy $R0 ""  ; the argument being read
  StrCpy $R3 0   ; position
  StrCpy $R4 0   ; 1 inside quotes
  StrCpy $R9 ""
  ${Do}
    StrCpy $R1 $R2 1 $R3
    ; $R5: 1 where an argument ends (a blank outside quotes, or the end of the line).
    StrCpy $R5 0
    ${If} $R1 == ""
      StrCpy $R5 1
    ${ElseIf} $R4 = 0
      ${If} $R1 == " "
      ${OrIf} $R1 == "$\t"
        StrCpy $R5 1
      ${EndIf}
    ${EndIf}
    ${If} $R5 = 1
      ${If} $R0 != ""
        Call TakeArgument
        StrCpy $R0 ""
      ${EndIf}
      ${If} $R1 == ""
      ${OrIf} $R9 != ""
        ${Break}
      ${EndIf}
    ${ElseIf} $R1 == '"'
      IntOp $R4 1 - $R4
    ${Else}
      StrCpy $R0 "$R0$R1"
    ${EndIf}
    IntOp $R3 $R3 + 1
  ${Loop}
  StrCpy $R0 $R9
  Pop $R9
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd
