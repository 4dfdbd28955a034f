; Two running copies of the helper both end in one call, which reports
; "success"; a program that does not run is "success" at once, and a path
; without a root touches nothing.
;expect before: true
;expect killed: success
;expect after: false
;expect not running: success
;expect no root: error parsing file
;expect stack: first
!include "${__FILEDIR__}\common\ProcessHelper.nsh"
  Push "first"
  Exec '"${HELPER}" run'
  Exec '"${HELPER}" run'
  Kestrine::IsProcessRunning "${HELPER}"
  Pop $0
  !insertmacro KestrineResult "before: $0"
  Kestrine::KillProcess "${HELPER}"
  Pop $0
  !insertmacro KestrineResult "killed: $0"
  Kestrine::IsProcessRunning "${HELPER}"
  Pop $0
  !insertmacro KestrineResult "after: $0"
  Kestrine::KillProcess "$PLUGINSDIR\not-running.exe"
  Pop $0
  !insertmacro KestrineResult "not running: $0"
  Kestrine::KillProcess "no root here"
  Pop $0
  !insertmacro KestrineResult "no root: $0"
