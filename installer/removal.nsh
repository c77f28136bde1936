; Removing an installation: used by the uninstaller, and by setup itself to take back what a
; failed run installed. It removes what the installation wrote and nothing else: what it wrote in
; the device key named in the uninstall entry (other OPOS devices, and values others added, stay),
; the OPOS keys the installation created if they are empty, the files it installed, and the
; folders if nothing else is in them. A file in use goes at the next restart (the reboot flag is
; then set). The uninstall entry goes only when nothing of the installation is left behind but
; what the restart removes; otherwise it stays, and removal can be run again.
; Out: $R0 the number of libraries that could not be unregistered; $FilesLeft the files that
; could be removed neither now nor at the restart, one per line ("" when there is none).

Var FilesLeft

!macro KIT_REMOVE_FILE UN FOLDER NAME SOURCE
  Push "${FOLDER}\${NAME}"
  Call ${UN}RemoveFile
  Pop $R4
  ${If} $R4 = 0
    StrCpy $FilesLeft "$FilesLeft$\r$\n${FOLDER}\${NAME}"
  ${EndIf}
  ; A new version still waiting for a restart is not put in place by it any more.
  Delete "${FOLDER}\${NAME}${KIT_STAGED_SUFFIX}"
!macroend
!macro KIT_REMOVE_INSTALLED_FILE FOLDER NAME SOURCE
  !insertmacro KIT_REMOVE_FILE "" "${FOLDER}" "${NAME}" "${SOURCE}"
!macroend
!macro KIT_UN_REMOVE_INSTALLED_FILE FOLDER NAME SOURCE
  !insertmacro KIT_REMOVE_FILE "un." "${FOLDER}" "${NAME}" "${SOURCE}"
!macroend

; Removes FOLDER if nothing is left in it; if something of the installation goes only at the
; restart, the folder is handed to Windows to go after it.
!macro KIT_REMOVE_FOLDER FOLDER
  RMDir "${FOLDER}"
  ${If} ${FileExists} "${FOLDER}\*.*"
  ${AndIf} ${RebootFlag}
    RMDir /REBOOTOK "${FOLDER}"
  ${EndIf}
!macroend

!macro KIT_REMOVE_INSTALLATION UN PREFIX
Function ${UN}RemoveInstallation
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  StrCpy $FilesLeft ""
  ; Leave the installation folder: a folder that is a process's working folder cannot be removed.
  SetOutPath "$TEMP"
  ; The bridge's service goes before its program file, which a running service holds.
  Call ${UN}RemoveBridgeService
  StrCpy $WithBridge 1
  Call ${UN}UnregisterLibraries
  Push $R0

  SetRegView 32
  ReadRegStr $R4 HKLM "${KIT_UNINSTALL_KEY}" "UninstallString"
  ${If} $R4 != ""
    ReadRegStr $R1 HKLM "${KIT_UNINSTALL_KEY}" "DeviceName"
    ReadRegStr $R2 HKLM "${KIT_UNINSTALL_KEY}" "CreatedOposKey32"
    ReadRegStr $R3 HKLM "${KIT_UNINSTALL_KEY}" "CreatedOposKey64"
    !insertmacro KIT_REMOVE_DEVICE_KEY "${UN}" 32 $R1 $R2
    ${If} ${RunningX64}
      !insertmacro KIT_REMOVE_DEVICE_KEY "${UN}" 64 $R1 $R3
    ${EndIf}
    Delete "$SMPROGRAMS\${KIT_START_MENU}\Zorn Utility.lnk"
    Delete "$SMPROGRAMS\${KIT_START_MENU}\ZornTest.lnk"
    Delete "$SMPROGRAMS\${KIT_START_MENU}\zorn-utility-cli.lnk"
    Delete "$SMPROGRAMS\${KIT_START_MENU}\Uninstall.lnk"
    RMDir "$SMPROGRAMS\${KIT_START_MENU}"
  ${EndIf}

  !insertmacro KIT_REMOVE_FILE "${UN}" "$INSTDIR" "${KIT_DEVICE_NAME_FILE}" ""
  !insertmacro KIT_FOR_EACH_FILE ${PREFIX}REMOVE_INSTALLED_FILE
  ${If} $FilesLeft == ""
    Delete "$INSTDIR\Uninstall.exe"
    !insertmacro KIT_REMOVE_FOLDER "$INSTDIR\x64"
    !insertmacro KIT_REMOVE_FOLDER "$INSTDIR"
    SetRegView 32
    DeleteRegKey HKLM "${KIT_UNINSTALL_KEY}"
  ${EndIf}
  Pop $R0
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
FunctionEnd
!macroend
!insertmacro KIT_REMOVE_INSTALLATION "" KIT_
!insertmacro KIT_REMOVE_INSTALLATION "un." KIT_UN_
