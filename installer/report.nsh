; Telling the person or the roll-out tool what went wrong: a message box (skipped in silent
; mode), and the same line on the standard error stream when the program was started with one,
; so that a script running setup silently can log the reason with the exit code.

!macro KIT_REPORT_TO_PERSON_AND_STREAM ICON
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  MessageBox MB_OK|${ICON} "$R0" /SD IDOK
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
!macroend

!macro KIT_REPORT_FUNCTIONS UN
; Shows the message on the stack.
Function ${UN}ReportError
  !insertmacro KIT_REPORT_TO_PERSON_AND_STREAM MB_ICONSTOP
FunctionEnd

; Says that files in use ($FilesAtRestart) are replaced or removed at the next restart, with the
; message on the stack before the list, and sets the exit code that says so.
Function ${UN}ReportRestartNeeded
  Exch $R0
  StrCpy $R0 "$R0 These files are in use and are replaced or removed when Windows restarts:$FilesAtRestart$\r$\nRestart the computer."
  Exch $R0
  !insertmacro KIT_REPORT_TO_PERSON_AND_STREAM MB_ICONINFORMATION
  SetErrorLevel ${KIT_EXIT_RESTART_NEEDED}
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
