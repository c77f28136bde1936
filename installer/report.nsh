; Telling the person or the roll-out tool what went wrong: a message box (skipped in silent
; mode), and the same line on the standard error stream when the program was started with one,
; so that a script running setup silently can log the reason with the exit code.

!macro KIT_REPORT_FUNCTIONS UN
; Shows the message on the stack.
Function ${UN}ReportError
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  MessageBox MB_OK|MB_ICONSTOP "$R0" /SD IDOK
  ; GetStdHandle: the handle, or 0 / INVALID_HANDLE_VALUE (-1) when there is none.
  System::Call 'kernel32::GetStdHandle(i -12) p .R1'
  ${If} $R1 P<> 0
  ${AndIf} $R1 P<> -1
    StrCpy $R2 "$R0$\r$\n"
    StrLen $R3 $R2
    ; The messages are plain ASCII: one byte per character in the ANSI code page.
    System::Call 'kernel32::WriteFile(p R1, m R2, i R3, *i 0, p 0)'
  ${EndIf}
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

; Reports the message and leaves at once with the exit code. Stack: message, then exit code on top.
Function ${UN}Fail
  Exch $R1
  Exch
  Call ${UN}ReportError
  SetErrorLevel $R1
  Quit
FunctionEnd
!macroend
!insertmacro KIT_REPORT_FUNCTIONS ""
!insertmacro KIT_REPORT_FUNCTIONS "un."
