; Files in use. A library that a running POS application has loaded, or a program that is
; running, can be neither overwritten nor deleted; Windows replaces or deletes it at the next
; restart when asked to (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT). Setup and removal then end
; with exit code 3010 and say that the restart completes them (docs/integrator.md: exit codes).
;
; Setup first writes every new file beside its place as NAME.update. Only when all of them are
; there, and every file in use has been handed to Windows for the restart, does a file of the
; installation change: a file that cannot be written, or one in use that Windows will not
; replace, leaves the installation already there as it was (exit code 4).

!define KIT_EXIT_RESTART_NEEDED 3010
!define KIT_STAGED_SUFFIX ".update"
; MoveFileExW flags.
!define KIT_MOVE_REPLACE 1
!define KIT_MOVE_AT_RESTART 5  ; MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING
!define KIT_ERROR_SHARING_VIOLATION 32

; The files completed only at the restart, one per line, for the message.
Var FilesAtRestart

; Expands DO FOLDER NAME SOURCE for each file of the installation (SOURCE: the staged build).
!macro KIT_FOR_EACH_FILE DO
  !insertmacro ${DO} "$INSTDIR" "VARNEL.dll" "${KIT_STAGE}/x86/VARNEL.dll"
  !insertmacro ${DO} "$INSTDIR" "zorn-utility-cli.exe" "${KIT_STAGE}/x86/zorn-utility-cli.exe"
  !insertmacro ${DO} "$INSTDIR" "Zorn_Utility.exe" "${KIT_STAGE}/x86/Zorn_Utility.exe"
  !insertmacro ${DO} "$INSTDIR" "ZornTest.exe" "${KIT_STAGE}/x86/ZornTest.exe"
  ${If} $WithBridge == 1
    !insertmacro ${DO} "$INSTDIR" "zorn-display-bridge.exe" "${KIT_STAGE}/x86/zorn-display-bridge.exe"
  ${EndIf}
  ; A 64-bit library is of no use on 32-bit Windows.
  ${If} ${RunningX64}
    !insertmacro ${DO} "$INSTDIR\x64" "VARNEL.dll" "${KIT_STAGE}/x64/VARNEL.dll"
  ${EndIf}
!macroend

!macro KIT_FILE_FUNCTIONS UN
; In: the path on the stack. Out on the stack: 1 when the file exists and is in use (it cannot be
; opened for writing because a program runs it or has it loaded), else 0.
Function ${UN}FileInUse
  Exch $R0
  Push $R1
  Push $R2
  ; CreateFileW(GENERIC_WRITE, share all, OPEN_EXISTING): INVALID_HANDLE_VALUE (-1) on failure.
  System::Call 'kernel32::CreateFileW(w R0, i 0x40000000, i 7, p 0, i 3, i 0, p 0) p .R1 ?e'
  Pop $R2
  ${If} $R1 P= -1
    ${If} $R2 = ${KIT_ERROR_SHARING_VIOLATION}
      StrCpy $R0 1
    ${Else}
      StrCpy $R0 0
    ${EndIf}
  ${Else}
    System::Call 'kernel32::CloseHandle(p R1)'
    StrCpy $R0 0
  ${EndIf}
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; Hands a move to Windows for the next restart. In: the stack holds the destination ("" to delete)
; and under it the source. Out on the stack: 1 when Windows took it, else 0.
Function ${UN}MoveAtRestart
  Exch $R1
  Exch
  Exch $R0
  Push $R2
  ; The file the restart completes: the one replaced, or the one deleted.
  StrCpy $R2 $R1
  ${If} $R1 == ""
    StrCpy $R2 $R0
    ; MoveFileExW: non-zero on success. A null destination deletes the source.
    System::Call 'kernel32::MoveFileExW(w R0, p 0, i 4) i .R0'
  ${Else}
    System::Call 'kernel32::MoveFileExW(w R0, w R1, i ${KIT_MOVE_AT_RESTART}) i .R0'
  ${EndIf}
  ${If} $R0 <> 0
    StrCpy $R0 1
    SetRebootFlag true
    StrCpy $FilesAtRestart "$FilesAtRestart$\r$\n$R2"
  ${Else}
    StrCpy $R0 0
  ${EndIf}
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; Deletes a file of the installation, or has Windows delete it at the restart when it is in use.
; In: the path on the stack. Out on the stack: 1 when it is gone or goes at the restart, else 0.
Function ${UN}RemoveFile
  Exch $R0
  Push $R1
  StrCpy $R1 1
  ${If} ${FileExists} $R0
    Push $R0
    Call ${UN}FileInUse
    Pop $R1
    ${If} $R1 = 0
      Delete $R0
    ${EndIf}
    ${If} ${FileExists} $R0
      Push $R0
      Push ""
      Call ${UN}MoveAtRestart
      Pop $R1
      ${If} $R1 = 1
        DetailPrint "Removed at the next restart (in use): $R0"
      ${EndIf}
    ${Else}
      StrCpy $R1 1
    ${EndIf}
  ${EndIf}
  StrCpy $R0 $R1
  Pop $R1
  Exch $R0
FunctionEnd
!macroend
!insertmacro KIT_FILE_FUNCTIONS ""
!insertmacro KIT_FILE_FUNCTIONS "un."

; Phase 1: writes NAME.update. $R9 names the first file that could not be written.
!macro KIT_STAGE_FILE FOLDER NAME SOURCE
  ClearErrors
  File "/oname=${FOLDER}\${NAME}${KIT_STAGED_SUFFIX}" "${SOURCE}"
  ${If} ${Errors}
  ${AndIf} $R9 == ""
    StrCpy $R9 "${FOLDER}\${NAME}"
  ${EndIf}
!macroend

; Phase 2: a file in use is handed to Windows for the restart. $R9 as above.
!macro KIT_REPLACE_AT_RESTART_IF_IN_USE FOLDER NAME SOURCE
  ${If} $R9 == ""
    Push "${FOLDER}\${NAME}"
    Call FileInUse
    Pop $R0
    ${If} $R0 = 1
      Push "${FOLDER}\${NAME}${KIT_STAGED_SUFFIX}"
      Push "${FOLDER}\${NAME}"
      Call MoveAtRestart
      Pop $R0
      ${If} $R0 = 1
        DetailPrint "Replaced at the next restart (in use): ${FOLDER}\${NAME}"
      ${Else}
        StrCpy $R9 "${FOLDER}\${NAME}"
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

; Phase 3: every other file takes its place now. A file that came into use since phase 2 is
; handed to Windows as well.
!macro KIT_REPLACE_NOW FOLDER NAME SOURCE
  ${If} $R9 == ""
    ${StrStr} $R0 "$FilesAtRestart$\r$\n" "$\r$\n${FOLDER}\${NAME}$\r$\n"
    ${If} $R0 == ""
      System::Call 'kernel32::MoveFileExW(w "${FOLDER}\${NAME}${KIT_STAGED_SUFFIX}", w "${FOLDER}\${NAME}", i ${KIT_MOVE_REPLACE}) i .R0'
      ${If} $R0 = 0
        Push "${FOLDER}\${NAME}${KIT_STAGED_SUFFIX}"
        Push "${FOLDER}\${NAME}"
        Call MoveAtRestart
        Pop $R0
        ${If} $R0 = 0
          StrCpy $R9 "${FOLDER}\${NAME}"
        ${EndIf}
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

!macro KIT_DELETE_STAGED FOLDER NAME SOURCE
  Delete "${FOLDER}\${NAME}${KIT_STAGED_SUFFIX}"
!macroend

; Puts the files of this version in place. Out: $R9 "" when every file is in place or is replaced
; at the restart; else the file that stopped it, and nothing of the installation has changed
; unless a file came into use between the phases.
Function InstallFiles
  Push $R0
  StrCpy $R9 ""
  CreateDirectory "$INSTDIR"
  ${If} ${RunningX64}
    CreateDirectory "$INSTDIR\x64"
  ${EndIf}
  ; A staged file that cannot be written is reported, not asked about.
  SetOverwrite try
  !insertmacro KIT_FOR_EACH_FILE KIT_STAGE_FILE
  SetOverwrite on
  !insertmacro KIT_FOR_EACH_FILE KIT_REPLACE_AT_RESTART_IF_IN_USE
  ${If} $R9 != ""
    ; The moves Windows already took find no file at the restart and do nothing.
    !insertmacro KIT_FOR_EACH_FILE KIT_DELETE_STAGED
    RMDir "$INSTDIR\x64"
    RMDir "$INSTDIR"
  ${Else}
    !insertmacro KIT_FOR_EACH_FILE KIT_REPLACE_NOW
  ${EndIf}
  Pop $R0
FunctionEnd
