; Registering and unregistering the two service object libraries, each with the regsvr32 of its
; own word size: a 32-bit regsvr32 cannot load a 64-bit library, nor the other way round, and each
; writes the class into the registry view of its word size.

; Runs regsvr32 silently. In: $R1 the word size (32 or 64), $R2 "" to register or "/u" to
; unregister, $R3 the library. Out: $R0 regsvr32's exit code (0 when it succeeded), or "none"
; when it could not be started.
!macro KIT_RUN_REGSVR32 UN
Function ${UN}RunRegsvr32
  ClearErrors
  ${If} $R1 = 64
    ; A 32-bit installer sees SysWOW64 under the name System32 unless the redirection is off.
    ${DisableX64FSRedirection}
    ExecWait '"$WINDIR\System32\regsvr32.exe" /s $R2 "$R3"' $R0
    ${EnableX64FSRedirection}
  ${Else}
    ; From a 32-bit installer on 64-bit Windows, System32 is redirected to SysWOW64: this is the
    ; 32-bit regsvr32 there, and the only one on 32-bit Windows.
    ExecWait '"$SYSDIR\regsvr32.exe" /s $R2 "$R3"' $R0
  ${EndIf}
  ${If} ${Errors}
    StrCpy $R0 none
  ${EndIf}
  DetailPrint "regsvr32 ($R1-bit) $R2 $R3: exit code $R0"
FunctionEnd
!macroend
!insertmacro KIT_RUN_REGSVR32 ""
!insertmacro KIT_RUN_REGSVR32 "un."

; Unregisters whichever of the two libraries is present (a rollback may find only one). Failures
; are counted in $R0 (0 when every library present was unregistered).
!macro KIT_UNREGISTER_LIBRARIES UN
Function ${UN}UnregisterLibraries
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  StrCpy $R4 0
  StrCpy $R2 "/u"
  ${If} ${RunningX64}
  ${AndIf} ${FileExists} "$INSTDIR\x64\VARNEL.dll"
    StrCpy $R1 64
    StrCpy $R3 "$INSTDIR\x64\VARNEL.dll"
    Call ${UN}RunRegsvr32
    ${If} $R0 != 0
      IntOp $R4 $R4 + 1
    ${EndIf}
  ${EndIf}
  ; The 64-bit test build of the setup program never registers the 32-bit library.
  !ifndef KIT_AMD64_VEHICLE
  ${If} ${FileExists} "$INSTDIR\VARNEL.dll"
    StrCpy $R1 32
    StrCpy $R3 "$INSTDIR\VARNEL.dll"
    Call ${UN}RunRegsvr32
    ${If} $R0 != 0
      IntOp $R4 $R4 + 1
    ${EndIf}
  ${EndIf}
  !endif
  StrCpy $R0 $R4
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
FunctionEnd
!macroend
!insertmacro KIT_UNREGISTER_LIBRARIES ""
!insertmacro KIT_UNREGISTER_LIBRARIES "un."
