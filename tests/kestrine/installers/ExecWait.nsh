; The started program's exit code as signed decimal; "error" when nothing
; could be started. The command line is popped, the rest of the stack stays.
;expect exit 0: 0
;expect exit 3: 3
;expect access violation: -1073741819
;expect spaces between the arguments: 7
;expect empty: error
;expect missing program: error
;expect stack: first
!include "${__FILEDIR__}\common\ProcessHelper.nsh"
  Push "first"
  Kestrine::ExecWait '"${HELPER}" exit 0'
  Pop $0
  !insertmacro KestrineResult "exit 0: $0"
  Kestrine::ExecWait '"${HELPER}" exit 3'
  Pop $0
  !insertmacro KestrineResult "exit 3: $0"
  Kestrine::ExecWait '"${HELPER}" exit 0xC0000005'
  Pop $0
  !insertmacro KestrineResult "access violation: $0"
  Kestrine::ExecWait '"${HELPER}"   exit   7'
  Pop $0
  !insertmacro KestrineResult "spaces between the arguments: $0"
  Kestrine::ExecWait ""
  Pop $0
  !insertmacro KestrineResult "empty: $0"
  Kestrine::ExecWait '"$PLUGINSDIR\no-such-program.exe" exit 0'
  Pop $0
  !insertmacro KestrineResult "missing program: $0"
