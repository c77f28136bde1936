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

; Deletes device NAME's key in VIEW, then those keys of the chain that the installation created
; (CREATED, as recorded) if nothing else lives below them.
!macro KIT_REMOVE_DEVICE_KEY VIEW NAME CREATED
  SetRegView ${VIEW}
  ${If} "${NAME}" != ""
    DeleteRegKey HKLM "${KIT_OPOS_KEY}\${NAME}"
  ${EndIf}
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
