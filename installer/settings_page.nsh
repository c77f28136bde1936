; The settings page: device name, COM port and line speed, filled with the values chosen in
; .onInit (command line, installation being updated, or defaults). The lists offer only valid
; ports and speeds; the name is checked when the person goes on.

Var SettingsNameField
Var SettingsPortList
Var SettingsSpeedList
Var SettingsBridgeBox
Var SettingsBridgeAutoBox

Function SettingsPage
  !insertmacro MUI_HEADER_TEXT "Pole display" "The OPOS LineDisplay device that the service object drives."
  nsDialogs::Create 1018
  Pop $R0
  ${If} $R0 == error
    Abort
  ${EndIf}

  ${NSD_CreateLabel} 0 0 100% 20u "Device name: the name OPOS applications open. At most ${KIT_DEVICE_NAME_MAX} characters: letters, digits, blanks and punctuation, no backslash."
  Pop $R0
  ${NSD_CreateText} 0 22u 60% 12u "$DeviceName"
  Pop $SettingsNameField
  ${NSD_SetTextLimit} $SettingsNameField 255

  ${NSD_CreateLabel} 0 42u 100% 10u "COM port the display is attached to:"
  Pop $R0
  ${NSD_CreateDropList} 0 54u 30% 120u ""
  Pop $SettingsPortList
  StrCpy $R1 1
  ${Do}
    ${NSD_CB_AddString} $SettingsPortList "COM$R1"
    IntOp $R1 $R1 + 1
  ${LoopWhile} $R1 <= ${KIT_PORT_MAX}
  ${NSD_CB_SelectString} $SettingsPortList "COM$Port"

  ${NSD_CreateLabel} 0 74u 100% 10u "Line speed the display is set to (bits per second):"
  Pop $R0
  ${NSD_CreateDropList} 0 86u 30% 80u ""
  Pop $SettingsSpeedList
  StrCpy $R1 1
  ${Do}
    ${WordFind} "${KIT_LINE_SPEEDS}" " " "+$R1" $R2
    ${NSD_CB_AddString} $SettingsSpeedList "$R2"
    IntOp $R1 $R1 + 1
  ${LoopWhile} $R1 <= ${KIT_LINE_SPEED_COUNT}
  ${NSD_CB_SelectString} $SettingsSpeedList "$LineSpeed"

  ${NSD_CreateCheckbox} 0 104u 100% 10u "Also install the display bridge for web POS systems, as a Windows service"
  Pop $SettingsBridgeBox
  ${NSD_CreateCheckbox} 10u 116u 90% 10u "Start the display bridge with Windows (it then holds the COM port)"
  Pop $SettingsBridgeAutoBox
  ${If} $BridgeStart != ""
    ${NSD_Check} $SettingsBridgeBox
  ${EndIf}
  ${If} $BridgeStart == "auto"
    ${NSD_Check} $SettingsBridgeAutoBox
  ${EndIf}

  ${If} $Updating != ""
    ${NSD_CreateLabel} 0 130u 100% 20u "An installation is already there: it is updated in place with these settings."
    Pop $R0
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function SettingsPageLeave
  ${NSD_GetText} $SettingsNameField $R0
  Push $R0
  Call CheckDeviceName
  Pop $R1
  ${If} $R1 != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "$R1"
    Abort
  ${EndIf}
  StrCpy $DeviceName $R0
  ; A device key of another service object is taken over only when the person agrees.
  Call CheckDeviceOwners
  ${If} $R0 != ""
    StrCpy $R0 $Owner32
    ${If} $R0 == ""
      StrCpy $R0 $Owner64
    ${EndIf}
    MessageBox MB_YESNO|MB_ICONQUESTION "The OPOS device $\"$DeviceName$\" belongs to another service object (ProgID $\"$R0$\"). Replace it? Its values are saved and restored when the kit is removed. (No: choose another device name.)" IDYES +2
    Abort
    StrCpy $ArgReplaceGiven 1
  ${EndIf}
  ${NSD_GetText} $SettingsPortList $R0
  StrCpy $Port $R0 "" 3
  ${NSD_GetText} $SettingsSpeedList $LineSpeed
  StrCpy $BridgeStart ""
  StrCpy $WithBridge 0
  ${NSD_GetState} $SettingsBridgeBox $R0
  ${If} $R0 == ${BST_CHECKED}
    StrCpy $WithBridge 1
    StrCpy $BridgeStart "demand"
    ${NSD_GetState} $SettingsBridgeAutoBox $R0
    ${If} $R0 == ${BST_CHECKED}
      StrCpy $BridgeStart "auto"
    ${EndIf}
  ${EndIf}
FunctionEnd
