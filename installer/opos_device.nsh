; The display's OPOS entry: the device's key below the LineDisplay key in both registry views
; (a 32-bit OPOS application reads the 32-bit view, a 64-bit one the 64-bit view), and the
; device-name file that tells the service object which key is its own.
;
; The installation remembers, per view, the first key of the chain OLEforRetail\ServiceOPOS\
; LineDisplay that it had to create, so that removal deletes those keys (when no other device
; lives below them) and leaves alone whatever was there before.

!define KIT_OPOS_ROOT "SOFTWARE\OLEforRetail"
!define KIT_OPOS_SERVICE "SOFTWARE\OLEforRetail\ServiceOPOS"
!define KIT_OPOS_KEY "SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay"
!define KIT_PROGID "VARNEL.ID_TARVO_VARNEL"
!define KIT_DEVICE_NAME_FILE "DeviceName.txt"

; Sets OUT to the first key of the OPOS chain missing in VIEW, or "" when the whole chain exists.
!macro KIT_FIRST_MISSING_OPOS_KEY VIEW OUT
  SetRegView ${VIEW}
  StrCpy ${OUT} ""
  !insertmacro KIT_IF_KEY_MISSING "${KIT_OPOS_KEY}" ${OUT}
  !insertmacro KIT_IF_KEY_MISSING "${KIT_OPOS_SERVICE}" ${OUT}
  !insertmacro KIT_IF_KEY_MISSING "${KIT_OPOS_ROOT}" ${OUT}
!macroend

!macro KIT_IF_KEY_MISSING KEY OUT
  ClearErrors
  EnumRegKey $R8 HKLM "${KEY}" 0
  ${If} ${Errors}
    StrCpy ${OUT} "${KEY}"
  ${EndIf}
!macroend

; Writes the device's key in VIEW: default value the ProgID, Comport and Baudrate as strings.
; Sets the error flag when a value could not be written.
!macro KIT_WRITE_DEVICE_KEY VIEW
  SetRegView ${VIEW}
  WriteRegStr HKLM "${KIT_OPOS_KEY}\$DeviceName" "" "${KIT_PROGID}"
  WriteRegStr HKLM "${KIT_OPOS_KEY}\$DeviceName" "Comport" "$Port"
  WriteRegStr HKLM "${KIT_OPOS_KEY}\$DeviceName" "Baudrate" "$LineSpeed"
!macroend

; The uninstall entry's subkey Replaced32 or Replaced64 holds, for its view, what a device key
; of another service object held before /REPLACE took it over: its path (DeviceKey) and those of
; the values the installation writes that existed, with their types and data.
!define KIT_SAVED_VALUES "Replaced"
; HKEY_LOCAL_MACHINE as a pointer, sign-extended as Windows defines it; the access rights for
; reading and for setting values; the flags that pick a registry view.
!define KIT_HKLM -2147483646
!define KIT_KEY_READ 0x20019
!define KIT_KEY_WRITE 0x20006
!define KIT_VIEW_FLAG_32 0x200
!define KIT_VIEW_FLAG_64 0x100
; Big enough for any value a device key holds in practice; a larger one is not copied (error).
!define KIT_VALUE_BUFFER 4096

; Sets OUT to the ProgID of another service object that owns device NAME's key in VIEW: "" when
; the key does not exist or names ours, "(none)" when it names none.
!macro KIT_DEVICE_KEY_OWNER VIEW NAME OUT
  SetRegView ${VIEW}
  StrCpy ${OUT} ""
  ClearErrors
  EnumRegKey $R8 HKLM "${KIT_OPOS_KEY}\${NAME}" 0
  ${IfNot} ${Errors}
    ReadRegStr ${OUT} HKLM "${KIT_OPOS_KEY}\${NAME}" ""
    ${If} ${OUT} S== "${KIT_PROGID}"
      StrCpy ${OUT} ""
    ${ElseIf} ${OUT} == ""
      StrCpy ${OUT} "(none)"
    ${EndIf}
  ${EndIf}
!macroend

!macro KIT_REGISTRY_VALUE_FUNCTIONS UN
; Copies one value of HKLM with its type and data. In: $R1 the source key, $R2 the destination
; key (created when missing), $R3 the value name ("" for the default value), $R4 and $R5 the view
; flags of the source and of the destination. Out: $R0 1 when copied, 0 when the source holds no
; such value, "error" when it could not be copied.
Function ${UN}CopyRegValue
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $R0 0
  IntOp $0 ${KIT_KEY_READ} | $R4
  ; The registry functions answer ERROR_SUCCESS (0) or an error code.
  System::Call 'advapi32::RegOpenKeyExW(p ${KIT_HKLM}, w R1, i 0, i r0, *p .r1) i .r2'
  ${If} $2 = 0
    System::Alloc ${KIT_VALUE_BUFFER}
    Pop $3
    System::Call 'advapi32::RegQueryValueExW(p r1, w R3, p 0, *i .r4, p r3, *i ${KIT_VALUE_BUFFER} r0) i .r2'
    ${If} $2 = 0
      StrCpy $R0 error
      IntOp $2 ${KIT_KEY_WRITE} | $R5
      System::Call 'advapi32::RegCreateKeyExW(p ${KIT_HKLM}, w R2, i 0, p 0, i 0, i r2, p 0, *p .r2, p 0) i .r1'
      ${If} $1 = 0
        System::Call 'advapi32::RegSetValueExW(p r2, w R3, i 0, i r4, p r3, i r0) i .r1'
        System::Call 'advapi32::RegCloseKey(p r2)'
        ${If} $1 = 0
          StrCpy $R0 1
        ${EndIf}
      ${EndIf}
      System::Call 'advapi32::RegOpenKeyExW(p ${KIT_HKLM}, w R1, i 0, i ${KIT_KEY_READ}, *p .r1) i .r2'
    ${ElseIf} $2 <> 2
      ; Anything but ERROR_FILE_NOT_FOUND: the value is there but cannot be read whole.
      StrCpy $R0 error
    ${EndIf}
    System::Free $3
    System::Call 'advapi32::RegCloseKey(p r1)'
  ${EndIf}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro KIT_REGISTRY_VALUE_FUNCTIONS ""
!insertmacro KIT_REGISTRY_VALUE_FUNCTIONS "un."

; Copies the values the installation writes between KEY_FROM (view flag FLAG_FROM) and KEY_TO
; (FLAG_TO); a value missing in KEY_FROM is deleted from KEY_TO when DELETE_MISSING is 1. Sets
; $R0 to "error" when a value could not be copied.
!macro KIT_COPY_DEVICE_VALUES UN KEY_FROM FLAG_FROM KEY_TO FLAG_TO VIEW_TO DELETE_MISSING
  ; Both paths are read before $R1 and $R2 change: either may be made of them.
  Push "${KEY_TO}"
  Push "${KEY_FROM}"
  Exch $R1
  Exch
  Exch $R2
  Push $R3
  Push $R4
  Push $R5
  Push $R6
  StrCpy $R6 ""
  StrCpy $R4 ${FLAG_FROM}
  StrCpy $R5 ${FLAG_TO}
  !insertmacro KIT_COPY_DEVICE_VALUE "${UN}" "" ${VIEW_TO} ${DELETE_MISSING}
  !insertmacro KIT_COPY_DEVICE_VALUE "${UN}" "Comport" ${VIEW_TO} ${DELETE_MISSING}
  !insertmacro KIT_COPY_DEVICE_VALUE "${UN}" "Baudrate" ${VIEW_TO} ${DELETE_MISSING}
  StrCpy $R0 $R6
  Pop $R6
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
!macroend

!macro KIT_COPY_DEVICE_VALUE UN NAME VIEW_TO DELETE_MISSING
  StrCpy $R3 "${NAME}"
  Call ${UN}CopyRegValue
  ${If} $R0 == error
    StrCpy $R6 error
  ${ElseIf} $R0 == 0
  ${AndIf} ${DELETE_MISSING} = 1
    SetRegView ${VIEW_TO}
    DeleteRegValue HKLM $R2 "${NAME}"
  ${EndIf}
!macroend

; Saves, in the uninstall entry, what device NAME's key in VIEW holds before the installation
; writes it; an earlier save for the view is replaced. Sets $R0 to "error" when it could not be.
!macro KIT_SAVE_DEVICE_VALUES VIEW NAME
  SetRegView 32
  DeleteRegKey HKLM "${KIT_UNINSTALL_KEY}\${KIT_SAVED_VALUES}${VIEW}"
  WriteRegStr HKLM "${KIT_UNINSTALL_KEY}\${KIT_SAVED_VALUES}${VIEW}" "DeviceKey" "${KIT_OPOS_KEY}\${NAME}"
  !insertmacro KIT_COPY_DEVICE_VALUES "" "${KIT_OPOS_KEY}\${NAME}" ${KIT_VIEW_FLAG_${VIEW}} \
      "${KIT_UNINSTALL_KEY}\${KIT_SAVED_VALUES}${VIEW}" ${KIT_VIEW_FLAG_32} 32 0
!macroend

; Gives device NAME's key in VIEW back: only while its default value still names our ProgID (a
; key someone has taken over since stays as it is), and then only the values the installation
; wrote. Those that another service object's key held before /REPLACE are restored; the others
; are deleted, and the key with them when nothing else is left in it. Then deletes those keys of
; the chain that the installation created (CREATED, as recorded) if nothing else lives below them.
!macro KIT_REMOVE_DEVICE_KEY UN VIEW NAME CREATED
  ${If} "${NAME}" != ""
    SetRegView ${VIEW}
    ReadRegStr $R8 HKLM "${KIT_OPOS_KEY}\${NAME}" ""
    ${If} $R8 S== "${KIT_PROGID}"
      SetRegView 32
      ClearErrors
      ReadRegStr $R8 HKLM "${KIT_UNINSTALL_KEY}\${KIT_SAVED_VALUES}${VIEW}" "DeviceKey"
      ${If} $R8 == "${KIT_OPOS_KEY}\${NAME}"
        !insertmacro KIT_COPY_DEVICE_VALUES "${UN}" "${KIT_UNINSTALL_KEY}\${KIT_SAVED_VALUES}${VIEW}" \
            ${KIT_VIEW_FLAG_32} "${KIT_OPOS_KEY}\${NAME}" ${KIT_VIEW_FLAG_${VIEW}} ${VIEW} 1
        SetRegView 32
        DeleteRegKey HKLM "${KIT_UNINSTALL_KEY}\${KIT_SAVED_VALUES}${VIEW}"
      ${Else}
        SetRegView ${VIEW}
        DeleteRegValue HKLM "${KIT_OPOS_KEY}\${NAME}" ""
        DeleteRegValue HKLM "${KIT_OPOS_KEY}\${NAME}" "Comport"
        DeleteRegValue HKLM "${KIT_OPOS_KEY}\${NAME}" "Baudrate"
        ClearErrors
        EnumRegValue $R8 HKLM "${KIT_OPOS_KEY}\${NAME}" 0
        ${If} ${Errors}
          DeleteRegKey /ifempty HKLM "${KIT_OPOS_KEY}\${NAME}"
        ${EndIf}
      ${EndIf}
    ${EndIf}
  ${EndIf}
  SetRegView ${VIEW}
  ${If} "${CREATED}" != ""
    DeleteRegKey /ifempty HKLM "${KIT_OPOS_KEY}"
    ${If} "${CREATED}" != "${KIT_OPOS_KEY}"
      DeleteRegKey /ifempty HKLM "${KIT_OPOS_SERVICE}"
      ${If} "${CREATED}" == "${KIT_OPOS_ROOT}"
        DeleteRegKey /ifempty HKLM "${KIT_OPOS_ROOT}"
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

; The device-name file holds the name alone, as 8-bit text with no line end. Sets the error flag
; when it could not be written.
Function WriteDeviceNameFile
  Push $R0
  ClearErrors
  FileOpen $R0 "$INSTDIR\${KIT_DEVICE_NAME_FILE}" w
  ${IfNot} ${Errors}
    FileWrite $R0 "$DeviceName"
    FileClose $R0
  ${EndIf}
  Pop $R0
FunctionEnd
