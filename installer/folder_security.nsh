; The installation folder's security, set explicitly on every system. The folder inherits nothing:
; on 32-bit Windows "C:\Program Files (x86)" is not the protected program-files folder but a plain
; folder below C:\, whose permissions let every signed-in user change what is created below it,
; and a user who could replace VARNEL.dll would run code inside the POS application.
;
; Owner Administrators; protected from inheritance; SYSTEM and Administrators full control; Users
; and Authenticated Users read and execute only (0x1200a9: FILE_GENERIC_READ |
; FILE_GENERIC_EXECUTE). Every entry is inherited by the files and folders inside (OI, CI).
!define KIT_FOLDER_SDDL "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;AU)"

; Applies the descriptor to $INSTDIR (which exists); what is already inside inherits it. Out: $R0
; "" when it was applied, else the message.
Function ProtectInstallFolder
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  ; Non-zero on success; the descriptor is freed with LocalFree.
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${KIT_FOLDER_SDDL}", i 1, *p .R1, p 0) i .R0'
  ${If} $R0 = 0
    StrCpy $R0 "The permissions of the installation folder could not be built."
  ${Else}
    System::Call 'advapi32::GetSecurityDescriptorOwner(p R1, *p .R2, *i .R4)'
    System::Call 'advapi32::GetSecurityDescriptorDacl(p R1, *i .R4, *p .R3, *i .R4)'
    ; SE_FILE_OBJECT (1); OWNER (1) | DACL (4) | PROTECTED_DACL (0x80000000). Answers
    ; ERROR_SUCCESS (0) or the error code.
    System::Call 'advapi32::SetNamedSecurityInfoW(w "$INSTDIR", i 1, i 0x80000005, p R2, p 0, p R3, p 0) i .R0'
    System::Call 'kernel32::LocalFree(p R1)'
    ${If} $R0 = 0
      StrCpy $R0 ""
      DetailPrint "Permissions set on $INSTDIR: ${KIT_FOLDER_SDDL}"
    ${Else}
      StrCpy $R0 "The permissions of the installation folder could not be set (error $R0)."
    ${EndIf}
  ${EndIf}
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
FunctionEnd
