; The kit's setup program: installs the service object VARNEL.dll for 32-bit and 64-bit OPOS
; applications, the configuration programs, and one pole display as an OPOS LineDisplay device.
;
; Built by scripts/package.sh through installer/build-installer.sh, which passes
;   KIT_VERSION   the version (four numbers)
;   KIT_STAGE     a folder with x86/ (VARNEL.dll, zorn-utility-cli.exe, Zorn_Utility.exe,
;                 ZornTest.exe, zorn-display-bridge.exe) and x64/ (VARNEL.dll)
;   KIT_OUTFILE   the setup program to write
; and, for tests on machines that cannot run 32-bit programs only, KIT_AMD64_VEHICLE: the same
; script as a 64-bit program that leaves the 32-bit library unregistered.
;
; Exit codes (also for /S; docs/integrator.md has the table): 0 installed or updated, 1
; cancelled, 2 stopped by NSIS itself, 3 bad settings on the command line or a device key of
; another service object without /REPLACE (nothing changed), 4 the installation failed: a file
; that cannot be written or replaced, not even at the next restart, leaves the installation
; already there as it was; a library that cannot be registered, or a registry that cannot be
; written, removes what this run installed. 5 not an administrator, 3010 installed, but files in
; use are replaced at the next restart, which completes the new version.

Unicode true
!ifdef KIT_AMD64_VEHICLE
  Target amd64-unicode
  ; A 64-bit program always runs on 64-bit Windows: ${RunningX64} is decided when building, and
  ; the branches for 32-bit Windows leave labels that nothing jumps to.
  !pragma warning disable 6012
!else
  Target x86-unicode
!endif
SetCompressor /SOLID lzma

!ifndef KIT_VERSION | KIT_STAGE | KIT_OUTFILE
  !error "KIT_VERSION, KIT_STAGE and KIT_OUTFILE must be defined (see installer/build-installer.sh)"
!endif

!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include nsDialogs.nsh
!include MUI2.nsh
!include StrFunc.nsh
${StrStr}

; The service object reads its device-name file from this fixed folder, whatever the system's
; program-files folder is called, so the installation goes there and nowhere else (docs/integrator.md: the
; integrator's installing section).
!define KIT_INSTALL_DIR "C:\Program Files (x86)\OPOSLD_SETUP"
!define KIT_PRODUCT "Zorn Pole Display Kit"
!define KIT_PUBLISHER "Zorn Display Systems"
!define KIT_START_MENU "Zorn Pole Display"
; The uninstall entry (32-bit registry view) also records what removal needs: the device name and
; the OPOS keys the installation created.
!define KIT_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\OPOSLD_SETUP"

!define KIT_EXIT_BAD_SETTINGS 3
!define KIT_EXIT_INSTALLATION_FAILED 4
!define KIT_EXIT_NOT_ADMIN 5

Name "${KIT_PRODUCT} ${KIT_VERSION}"
OutFile "${KIT_OUTFILE}"
InstallDir "${KIT_INSTALL_DIR}"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "${KIT_PRODUCT} ${KIT_VERSION}"

; The settings being installed.
Var DeviceName
Var Port
Var LineSpeed
; What an installation already there holds ("" when there is none).
Var Updating
Var PreviousDevice
Var PreviousPort
Var PreviousSpeed
Var PreviousVersion
; The ProgID of another service object that owns the device's key, per view ("" when none does).
Var Owner32
Var Owner64

!include "bridge_service.nsh"
!include "file_replacement.nsh"
!include "report.nsh"
!include "folder_security.nsh"
!include "device_settings.nsh"
!include "command_line.nsh"
!include "opos_device.nsh"
!include "registration.nsh"
!include "removal.nsh"
!include "settings_page.nsh"

!define MUI_ABORTWARNING
Page custom SettingsPage SettingsPageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${KIT_VERSION}"
VIFileVersion "${KIT_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${KIT_PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${KIT_PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${KIT_PRODUCT} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${KIT_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${KIT_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) ${KIT_PUBLISHER}"

; The settings of the installation already there, if any: the device name it recorded and that
; device's values in the 32-bit view.
Function ReadPreviousInstallation
  SetRegView 32
  ReadRegStr $Updating HKLM "${KIT_UNINSTALL_KEY}" "UninstallString"
  ReadRegStr $PreviousDevice HKLM "${KIT_UNINSTALL_KEY}" "DeviceName"
  ReadRegStr $PreviousVersion HKLM "${KIT_UNINSTALL_KEY}" "DisplayVersion"
  ${If} $PreviousDevice != ""
    ReadRegStr $PreviousPort HKLM "${KIT_OPOS_KEY}\$PreviousDevice" "Comport"
    ReadRegStr $PreviousSpeed HKLM "${KIT_OPOS_KEY}\$PreviousDevice" "Baudrate"
  ${EndIf}
FunctionEnd

; Picks each setting from the command line, else from the installation being updated. In silent
; mode all three must then be present and valid; interactively, the command line's values must be
; valid and anything missing is offered with a default on the settings page.
!macro KIT_CHOOSE_SETTING TARGET GIVEN ARGUMENT PREVIOUS CHECK DEFAULT OPTION
  ${If} ${GIVEN} == 1
    StrCpy ${TARGET} ${ARGUMENT}
    Push ${TARGET}
    Call ${CHECK}
    Pop $R0
    ${If} $R0 != ""
      Push "$R0"
      Push ${KIT_EXIT_BAD_SETTINGS}
      Call Fail
    ${EndIf}
  ${Else}
    StrCpy ${TARGET} ${PREVIOUS}
    ${If} ${TARGET} == ""
    ${AndIf} ${Silent}
      Push "A silent installation needs ${OPTION} (the settings are /DEVICE=name, /PORT=number and /BAUD=speed)."
      Push ${KIT_EXIT_BAD_SETTINGS}
      Call Fail
    ${EndIf}
    Push ${TARGET}
    Call ${CHECK}
    Pop $R0
    ${If} $R0 != ""
      ${If} ${Silent}
        Push "The installed setting is not usable: $R0 Give ${OPTION}."
        Push ${KIT_EXIT_BAD_SETTINGS}
        Call Fail
      ${EndIf}
      StrCpy ${TARGET} "${DEFAULT}"
    ${EndIf}
  ${EndIf}
!macroend

; Finds out whether another service object owns the device key of $DeviceName. Out: $R0 "" when
; no other one does, or /REPLACE allows taking it over; else the message that refuses it.
Function CheckDeviceOwners
  !insertmacro KIT_DEVICE_KEY_OWNER 32 $DeviceName $Owner32
  StrCpy $Owner64 ""
  ${If} ${RunningX64}
    !insertmacro KIT_DEVICE_KEY_OWNER 64 $DeviceName $Owner64
  ${EndIf}
  StrCpy $R0 $Owner32
  ${If} $R0 == ""
    StrCpy $R0 $Owner64
  ${EndIf}
  ${If} $R0 != ""
  ${AndIf} $ArgReplaceGiven != 1
    StrCpy $R0 "The OPOS device $\"$DeviceName$\" belongs to another service object (ProgID $\"$R0$\"). Setup does not take it over: choose another device name, or give /REPLACE to replace it (its values are saved and restored at removal)."
  ${Else}
    StrCpy $R0 ""
  ${EndIf}
FunctionEnd

Function .onInit
  SetShellVarContext all
  ; NSIS takes /D= off the command line and puts it into $INSTDIR before this function runs.
  ${If} $INSTDIR != "${KIT_INSTALL_DIR}"
    Push "The installation folder cannot be chosen: the service object looks for its files in $\"${KIT_INSTALL_DIR}$\"."
    Push ${KIT_EXIT_BAD_SETTINGS}
    Call Fail
  ${EndIf}
  UserInfo::GetAccountType
  Pop $R0
  ${If} $R0 != "Admin"
    Push "Setup must be run by an administrator: it registers the service object and writes the OPOS device entry for all users."
    Push ${KIT_EXIT_NOT_ADMIN}
    Call Fail
  ${EndIf}
  Call ReadPreviousInstallation
  Call ReadCommandLine
  Pop $R0
  ${If} $R0 != ""
    Push "$R0"
    Push ${KIT_EXIT_BAD_SETTINGS}
    Call Fail
  ${EndIf}
  !insertmacro KIT_CHOOSE_SETTING $DeviceName $ArgDeviceGiven $ArgDevice $PreviousDevice CheckDeviceName "${KIT_DEFAULT_DEVICE_NAME}" "/DEVICE="
  !insertmacro KIT_CHOOSE_SETTING $Port $ArgPortGiven $ArgPort $PreviousPort CheckPort "${KIT_DEFAULT_PORT}" "/PORT="
  !insertmacro KIT_CHOOSE_SETTING $LineSpeed $ArgBaudGiven $ArgBaud $PreviousSpeed CheckLineSpeed "${KIT_DEFAULT_SPEED}" "/BAUD="
  ${If} $ArgBridgeGiven == 1
    Push $ArgBridge
    Call CheckBridgeStart
    Pop $R0
    ${If} $R0 != ""
      Push "$R0"
      Push ${KIT_EXIT_BAD_SETTINGS}
      Call Fail
    ${EndIf}
  ${EndIf}
  Call ChooseBridge
  ; Interactively the settings page asks, for the name chosen there.
  ${If} ${Silent}
    Call CheckDeviceOwners
    ${If} $R0 != ""
      Push "$R0"
      Push ${KIT_EXIT_BAD_SETTINGS}
      Call Fail
    ${EndIf}
  ${EndIf}
FunctionEnd

; Ends an installation that failed before it changed anything of the installation already there
; (message on the stack): that one is kept as it was.
Function FailKeepingInstallation
  Exch $R5
  DetailPrint "$R5"
  Push "$R5 The installation already there, if any, is kept as it was."
  Push ${KIT_EXIT_INSTALLATION_FAILED}
  Call Fail
FunctionEnd

; Ends a failed installation: removes what this run installed, says why, and leaves with the
; exit code for a failed installation. Over an earlier installation that means all of it: its
; files are already replaced, and a device entry pointing at a library that cannot be registered
; would only fail later, in the POS application.
Function FailInstallation
  Exch $R5
  DetailPrint "$R5"
  Call RemoveInstallation
  Push "$R5 Setup has removed what it installed."
  Push ${KIT_EXIT_INSTALLATION_FAILED}
  Call Fail
FunctionEnd

Function RegisterLibraries
  !ifdef KIT_AMD64_VEHICLE
    DetailPrint "64-bit test build of the setup program: the 32-bit library is installed but not registered"
  !else
    StrCpy $R1 32
    StrCpy $R2 ""
    StrCpy $R3 "$INSTDIR\VARNEL.dll"
    Call RunRegsvr32
    ${If} $R0 != 0
      Push "The 32-bit VARNEL.dll could not be registered (regsvr32 exit code $R0)."
      Call FailInstallation
    ${EndIf}
  !endif
  ${If} ${RunningX64}
    StrCpy $R1 64
    StrCpy $R2 ""
    StrCpy $R3 "$INSTDIR\x64\VARNEL.dll"
    Call RunRegsvr32
    ${If} $R0 != 0
      Push "The 64-bit VARNEL.dll could not be registered (regsvr32 exit code $R0)."
      Call FailInstallation
    ${EndIf}
  ${EndIf}
FunctionEnd

; The uninstall entry with what removal needs. The OPOS keys created are recorded by the first
; installation only: an update finds them in place because that installation made them.
Function WriteUninstallEntry
  Push $R0
  Push $R1
  SetRegView 32
  ReadRegStr $R0 HKLM "${KIT_UNINSTALL_KEY}" "CreatedOposKey32"
  ReadRegStr $R1 HKLM "${KIT_UNINSTALL_KEY}" "CreatedOposKey64"
  ${If} $Updating == ""
    !insertmacro KIT_FIRST_MISSING_OPOS_KEY 32 $R0
    StrCpy $R1 ""
    ${If} ${RunningX64}
      !insertmacro KIT_FIRST_MISSING_OPOS_KEY 64 $R1
    ${EndIf}
  ${EndIf}
  SetRegView 32
  ClearErrors
  WriteRegStr HKLM "${KIT_UNINSTALL_KEY}" "CreatedOposKey32" "$R0"
  WriteRegStr HKLM "${KIT_UNINSTALL_KEY}" "CreatedOposKey64" "$R1"
  WriteRegStr HKLM "${KIT_UNINSTALL_KEY}" "DeviceName" "$DeviceName"
  WriteRegStr HKLM "${KIT_UNINSTALL_KEY}" "BridgeStart" "$BridgeStart"
  WriteRegStr HKLM "${KIT_UNINSTALL_KEY}" "DisplayName" "${KIT_PRODUCT}"
  ; While files wait for the restart, the version shown is the one that runs: the previous one
  ; (docs/integrator.md: exit codes).
  ${If} ${RebootFlag}
  ${AndIf} $PreviousVersion != ""
    WriteRegStr HKLM "${KIT_UNINSTALL_KEY}" "DisplayVersion" "$PreviousVersion"
    WriteRegStr HKLM "${KIT_UNINSTALL_KEY}" "VersionAfterRestart" "${KIT_VERSION}"
  ${Else}
    WriteRegStr HKLM "${KIT_UNINSTALL_KEY}" "DisplayVersion" "${KIT_VERSION}"
    ${IfNot} ${Errors}
      DeleteRegValue HKLM "${KIT_UNINSTALL_KEY}" "VersionAfterRestart"
      ; A value that was not there is no failure.
      ClearErrors
    ${EndIf}
  ${EndIf}
  WriteRegStr HKLM "${KIT_UNINSTALL_KEY}" "Publisher" "${KIT_PUBLISHER}"
  WriteRegStr HKLM "${KIT_UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${KIT_UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${KIT_UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${KIT_UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${KIT_UNINSTALL_KEY}" "NoRepair" 1
  Pop $R1
  Pop $R0
FunctionEnd

Function CreateShortcuts
  SetOutPath "$INSTDIR"
  CreateDirectory "$SMPROGRAMS\${KIT_START_MENU}"
  CreateShortcut "$SMPROGRAMS\${KIT_START_MENU}\Zorn Utility.lnk" "$INSTDIR\Zorn_Utility.exe"
  CreateShortcut "$SMPROGRAMS\${KIT_START_MENU}\ZornTest.lnk" "$INSTDIR\ZornTest.exe"
  ; A console program: the shortcut opens a command prompt in the installation folder with its help.
  CreateShortcut "$SMPROGRAMS\${KIT_START_MENU}\zorn-utility-cli.lnk" "$SYSDIR\cmd.exe" \
      '/k zorn-utility-cli.exe --help' "$INSTDIR\zorn-utility-cli.exe"
  CreateShortcut "$SMPROGRAMS\${KIT_START_MENU}\Uninstall.lnk" "$INSTDIR\Uninstall.exe"
FunctionEnd

Section "-Install"
  CreateDirectory "$INSTDIR"
  Call ProtectInstallFolder
  ${If} $R0 != ""
    RMDir "$INSTDIR"
    Push "$R0"
    Call FailKeepingInstallation
  ${EndIf}
  ; A running bridge holds its program; it is registered again below.
  ${If} $WithBridge == 1
    Call StopBridgeBeforeUpdate
  ${EndIf}
  Call InstallFiles
  ${If} $R9 != ""
    Push "$R9 could not be written or replaced, not even at the next restart."
    Call FailKeepingInstallation
  ${EndIf}

  Call RegisterLibraries
  ${If} $WithBridge == 1
    Call RegisterBridgeService
    ${If} $R0 != ""
      Push "$R0"
      Call FailInstallation
    ${EndIf}
  ${Else}
    ; An update that leaves the bridge out takes away the one installed before.
    Call RemoveBridgeService
    Push "$INSTDIR\${KIT_BRIDGE_PROGRAM}"
    Call RemoveFile
    Pop $R0
  ${EndIf}

  Call WriteUninstallEntry
  ${If} ${Errors}
    Push "The uninstall entry could not be written."
    Call FailInstallation
  ${EndIf}
  ; An update to another device name takes the old device's entry away.
  ${If} $PreviousDevice != ""
  ${AndIf} $PreviousDevice != $DeviceName
    !insertmacro KIT_REMOVE_DEVICE_KEY "" 32 $PreviousDevice ""
    ${If} ${RunningX64}
      !insertmacro KIT_REMOVE_DEVICE_KEY "" 64 $PreviousDevice ""
    ${EndIf}
  ${EndIf}
  ; Another service object's key, taken over with /REPLACE: what it held is kept for removal.
  ${If} $Owner32 != ""
    !insertmacro KIT_SAVE_DEVICE_VALUES 32 $DeviceName
    ${If} $R0 == error
      Push "The values of the device key being replaced could not be saved."
      Call FailInstallation
    ${EndIf}
  ${EndIf}
  ${If} $Owner64 != ""
    !insertmacro KIT_SAVE_DEVICE_VALUES 64 $DeviceName
    ${If} $R0 == error
      Push "The values of the device key being replaced could not be saved."
      Call FailInstallation
    ${EndIf}
  ${EndIf}
  ClearErrors
  !insertmacro KIT_WRITE_DEVICE_KEY 32
  ${If} ${RunningX64}
    !insertmacro KIT_WRITE_DEVICE_KEY 64
  ${EndIf}
  Call WriteDeviceNameFile
  ${If} ${Errors}
    Push "The OPOS device entry or the device-name file could not be written."
    Call FailInstallation
  ${EndIf}
  Call CreateShortcuts
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  DetailPrint "Installed: OPOS LineDisplay device $\"$DeviceName$\" on COM$Port at $LineSpeed bits per second"
  ${If} ${RebootFlag}
    Push "The new version is complete after the restart."
    Call ReportRestartNeeded
  ${EndIf}
SectionEnd

Function un.onInit
  SetShellVarContext all
  UserInfo::GetAccountType
  Pop $R0
  ${If} $R0 != "Admin"
    Push "Removal must be run by an administrator."
    Push ${KIT_EXIT_NOT_ADMIN}
    Call un.Fail
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.RemoveInstallation
  ${If} $R0 != 0
    Push "$R0 of the VARNEL.dll libraries could not be unregistered; their registration may remain."
    Call un.ReportError
    SetErrorLevel ${KIT_EXIT_INSTALLATION_FAILED}
  ${ElseIf} $FilesLeft != ""
    Push "These files could not be removed, not even at the next restart:$FilesLeft$\r$\nThe uninstall entry stays so that removal can be run again."
    Call un.ReportError
    SetErrorLevel ${KIT_EXIT_INSTALLATION_FAILED}
  ${ElseIf} ${RebootFlag}
    Push "The removal is complete after the restart."
    Call un.ReportRestartNeeded
  ${EndIf}
SectionEnd
