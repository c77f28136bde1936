; The optional display bridge: zorn-display-bridge.exe, registered as the Windows service
; "zorn-display-bridge" (zorn-display-bridge.exe --service), for web POS systems that cannot
; load an OPOS service object (docs/technician.md: the bridge as a Windows service).
;
; It is installed when /BRIDGE is given (or /BRIDGE=manual, or /BRIDGE=auto) or its box on the
; settings page is ticked; an update keeps the choice of the installation it updates. The
; service starts by hand by default: the bridge and the OPOS service object drive the same COM
; port, and a bridge started with Windows would hold it before any POS application. /BRIDGE=auto
; (or the second box) makes it start with Windows and starts it at once.
; Its settings file, zorn-display-bridge.conf, is written once with the device's COM port and
; speed; an update keeps the file a technician edited.

!define KIT_BRIDGE_SERVICE "zorn-display-bridge"
!define KIT_BRIDGE_PROGRAM "zorn-display-bridge.exe"
!define KIT_BRIDGE_SETTINGS "zorn-display-bridge.conf"
!define KIT_BRIDGE_LOG "zorn-display-bridge.log"
; sc.exe's answer for a service that is not registered (ERROR_SERVICE_DOES_NOT_EXIST).
; The service manager's numbers (winsvc.h).
!define KIT_SC_MANAGER_ALL_ACCESS 0xF003F
!define KIT_SERVICE_ALL_ACCESS 0xF01FF
!define KIT_SERVICE_WIN32_OWN_PROCESS 0x10
!define KIT_SERVICE_AUTO_START 2
!define KIT_SERVICE_DEMAND_START 3
!define KIT_SERVICE_NO_CHANGE 0xFFFFFFFF
!define KIT_SERVICE_CONTROL_STOP 1
!define KIT_SERVICE_STOPPED 1
; The longest wait for the service to stop, in half seconds (the bridge's own bound is 30 s).
!define KIT_BRIDGE_STOP_TRIES 80

; "" no bridge, "demand" started by hand, "auto" started with Windows.
Var BridgeStart
Var ArgBridge
Var ArgBridgeGiven
; 1 while the bridge's program belongs to the files being installed or removed.
Var WithBridge

; Checks the value of /BRIDGE= (on the stack); leaves "" or the message.
Function CheckBridgeStart
  Exch $R0
  ${If} $R0 == ""
  ${OrIf} $R0 == "manual"
    StrCpy $R0 ""
  ${ElseIf} $R0 == "auto"
    StrCpy $R0 ""
  ${Else}
    StrCpy $R0 "/BRIDGE takes manual or auto: $\"$R0$\"."
  ${EndIf}
  Exch $R0
FunctionEnd

; Picks $BridgeStart from the command line, else the installation being updated.
Function ChooseBridge
  ${If} $ArgBridgeGiven == 1
    StrCpy $BridgeStart "demand"
    ${If} $ArgBridge == "auto"
      StrCpy $BridgeStart "auto"
    ${EndIf}
  ${ElseIf} $Updating != ""
    SetRegView 32
    ReadRegStr $BridgeStart HKLM "${KIT_UNINSTALL_KEY}" "BridgeStart"
  ${EndIf}
  StrCpy $WithBridge 0
  ${If} $BridgeStart != ""
    StrCpy $WithBridge 1
  ${EndIf}
FunctionEnd

!macro KIT_BRIDGE_FUNCTIONS UN
; Opens the service. Out: $R0 the service manager's handle (0 when it cannot be opened), $R1 the
; service's handle (0 when it is not registered). Close both with CloseBridgeService.
Function ${UN}OpenBridgeService
  System::Call 'advapi32::OpenSCManagerW(p 0, p 0, i ${KIT_SC_MANAGER_ALL_ACCESS}) p .R0'
  StrCpy $R1 0
  ${If} $R0 P<> 0
    System::Call 'advapi32::OpenServiceW(p R0, w "${KIT_BRIDGE_SERVICE}", i ${KIT_SERVICE_ALL_ACCESS}) p .R1'
  ${EndIf}
FunctionEnd

Function ${UN}CloseBridgeService
  ${If} $R1 P<> 0
    System::Call 'advapi32::CloseServiceHandle(p R1)'
  ${EndIf}
  ${If} $R0 P<> 0
    System::Call 'advapi32::CloseServiceHandle(p R0)'
  ${EndIf}
FunctionEnd

; Stops the service (handle in $R1) if it runs, and waits for it to have stopped (bounded).
Function ${UN}StopBridgeService
  Push $R2
  Push $R3
  Push $R4
  System::Alloc 28  ; SERVICE_STATUS
  Pop $R2
  System::Call 'advapi32::QueryServiceStatus(p R1, p R2) i .R3'
  System::Call '*$R2(i, i .R4)'
  ${If} $R3 <> 0
  ${AndIf} $R4 <> ${KIT_SERVICE_STOPPED}
    DetailPrint "Stopping the service ${KIT_BRIDGE_SERVICE}"
    System::Call 'advapi32::ControlService(p R1, i ${KIT_SERVICE_CONTROL_STOP}, p R2) i .R3'
    StrCpy $R3 0
    ${Do}
      System::Call 'advapi32::QueryServiceStatus(p R1, p R2) i .R4'
      ${If} $R4 = 0
        ${Break}
      ${EndIf}
      System::Call '*$R2(i, i .R4)'
      ${If} $R4 = ${KIT_SERVICE_STOPPED}
        ${Break}
      ${EndIf}
      Sleep 500
      IntOp $R3 $R3 + 1
    ${LoopWhile} $R3 < ${KIT_BRIDGE_STOP_TRIES}
  ${EndIf}
  System::Free $R2
  Pop $R4
  Pop $R3
  Pop $R2
FunctionEnd

; Stops and deletes the service, and removes its settings file and log (the program file itself
; is one of the installation's files).
Function ${UN}RemoveBridgeService
  Push $R0
  Push $R1
  Push $R2
  Call ${UN}OpenBridgeService
  ${If} $R1 P<> 0
    Call ${UN}StopBridgeService
    System::Call 'advapi32::DeleteService(p R1) i .R2'
    ${If} $R2 = 0
      DetailPrint "The service ${KIT_BRIDGE_SERVICE} could not be deleted."
    ${Else}
      DetailPrint "Deleted the service ${KIT_BRIDGE_SERVICE}"
    ${EndIf}
  ${EndIf}
  Call ${UN}CloseBridgeService
  Delete "$INSTDIR\${KIT_BRIDGE_SETTINGS}"
  Delete "$INSTDIR\${KIT_BRIDGE_LOG}"
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro KIT_BRIDGE_FUNCTIONS ""
!insertmacro KIT_BRIDGE_FUNCTIONS "un."

; Before the files are replaced: a running bridge holds its program file.
Function StopBridgeBeforeUpdate
  Push $R0
  Push $R1
  Call OpenBridgeService
  ${If} $R1 P<> 0
    Call StopBridgeService
  ${EndIf}
  Call CloseBridgeService
  Pop $R1
  Pop $R0
FunctionEnd

; Registers the service, or updates the registration of one already there, and writes the
; settings file if there is none. Out: $R0 "" or the message of a failure.
Function RegisterBridgeService
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  StrCpy $R4 ""
  ${IfNot} ${FileExists} "$INSTDIR\${KIT_BRIDGE_SETTINGS}"
    ClearErrors
    FileOpen $R1 "$INSTDIR\${KIT_BRIDGE_SETTINGS}" w
    FileWrite $R1 "# zorn-display-bridge as a Windows service: the command line's options, one a line$\r$\n"
    FileWrite $R1 "# (the technician's guide). The display of the OPOS device $\"$DeviceName$\":$\r$\n"
    FileWrite $R1 "display pole=COM$Port,baud=$LineSpeed$\r$\n"
    FileWrite $R1 "listen 127.0.0.1:8765$\r$\n"
    FileClose $R1
    ${If} ${Errors}
      StrCpy $R4 "The display bridge's settings file could not be written."
    ${EndIf}
  ${EndIf}
  StrCpy $R3 ${KIT_SERVICE_DEMAND_START}
  ${If} $BridgeStart == "auto"
    StrCpy $R3 ${KIT_SERVICE_AUTO_START}
  ${EndIf}
  ${If} $R4 == ""
    Call OpenBridgeService
    StrCpy $R2 '"$INSTDIR\${KIT_BRIDGE_PROGRAM}" --service'
    ${If} $R0 P= 0
      StrCpy $R4 "The service manager could not be opened to register the display bridge."
    ${ElseIf} $R1 P= 0
      System::Call 'advapi32::CreateServiceW(p R0, w "${KIT_BRIDGE_SERVICE}", w "Zorn display bridge", i ${KIT_SERVICE_ALL_ACCESS}, i ${KIT_SERVICE_WIN32_OWN_PROCESS}, i R3, i 1, w R2, p 0, p 0, p 0, p 0, p 0) p .R1'
      ${If} $R1 P= 0
        StrCpy $R4 "The service ${KIT_BRIDGE_SERVICE} could not be registered."
      ${EndIf}
    ${Else}
      System::Call 'advapi32::ChangeServiceConfigW(p R1, i ${KIT_SERVICE_NO_CHANGE}, i R3, i ${KIT_SERVICE_NO_CHANGE}, w R2, p 0, p 0, p 0, p 0, p 0, p 0) i .R2'
      ${If} $R2 = 0
        StrCpy $R4 "The registration of the service ${KIT_BRIDGE_SERVICE} could not be updated."
      ${EndIf}
    ${EndIf}
    ${If} $R4 == ""
      DetailPrint "Registered the service ${KIT_BRIDGE_SERVICE} (start: $BridgeStart)"
      ${If} $BridgeStart == "auto"
        System::Call 'advapi32::StartServiceW(p R1, i 0, p 0) i .R2'
        ${If} $R2 = 0
          DetailPrint "The service ${KIT_BRIDGE_SERVICE} did not start: see $INSTDIR\${KIT_BRIDGE_LOG}"
        ${EndIf}
      ${EndIf}
    ${EndIf}
    Call CloseBridgeService
  ${EndIf}
  StrCpy $R0 $R4
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
FunctionEnd
