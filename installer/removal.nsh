; Removing an installation: used by the uninstaller, and by setup itself to take back what a
; failed run installed. It removes what the installation wrote and nothing else: the device key
; named in the uninstall entry (other OPOS devices stay), the OPOS keys the installation created
; if they are empty, the files it installed, and the folders if nothing else is in them.
; Out: $R0 the number of libraries that could not be unregistered.

!macro KIT_REMOVE_INSTALLATION UN
Function ${UN}RemoveInstallation
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  ; Leave the installation folder: a folder that is a process's working folder cannot be removed.
  SetOutPath "$TEMP"
  Call ${UN}UnregisterLibraries
  Push $R0

  SetRegView 32
  ReadRegStr $R4 HKLM "${KIT_UNINSTALL_KEY}" "UninstallString"
  ${If} $R4 != ""
    ReadRegStr $R1 HKLM "${KIT_UNINSTALL_KEY}" "DeviceName"
    ReadRegStr $R2 HKLM "${KIT_UNINSTALL_KEY}" "CreatedOposKey32"
    ReadRegStr $R3 HKLM "${KIT_UNINSTALL_KEY}" "CreatedOposKey64"
    !insertmacro KIT_REMOVE_DEVICE_KEY 32 $R1 $R2
    ${If} ${RunningX64}
      !insertmacro KIT_REMOVE_DEVICE_KEY 64 $R1 $R3
    ${EndIf}
    Delete "$INSTDIR\${KIT_DEVICE_NAME_FILE}"
    Delete "$SMPROGRAMS\${KIT_START_MENU}\Zorn Utility.lnk"
    Delete "$SMPROGRAMS\${KIT_START_MENU}\ZornTest.lnk"
    Delete "$SMPROGRAMS\${KIT_START_MENU}\zorn-utility-cli.lnk"
    Delete "$SMPROGRAMS\${KIT_START_MENU}\Uninstall.lnk"
    RMDir "$SMPROGRAMS\${KIT_START_MENU}"
    Delete "$INSTDIR\Uninstall.exe"
    SetRegView 32
    DeleteRegKey HKLM "${KIT_UNINSTALL_KEY}"
  ${EndIf}

  Delete "$INSTDIR\VARNEL.dll"
  Delete "$INSTDIR\zorn-utility-cli.exe"
  Delete "$INSTDIR\Zorn_Utility.exe"
  Delete "$INSTDIR\ZornTest.exe"
  Delete "$INSTDIR\x64\VARNEL.dll"
  RMDir "$INSTDIR\x64"
  RMDir "$INSTDIR"
  Pop $R0
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
FunctionEnd
!macroend
!insertmacro KIT_REMOVE_INSTALLATION ""
!insertmacro KIT_REMOVE_INSTALLATION "un."
