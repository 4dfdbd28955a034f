; WM_CLOSE goes to the helper's top-level window: a helper that closes on it
; ends and the call reports "success"; one that ignores it still runs after
; the call, which reports "success" all the same once its passes are spent.
;expect closes: success
;expect closes, afterwards: false
;expect ignores: success
;expect ignores, afterwards: true
;expect no root: error parsing file
;expect stack: first
!include "${__FILEDIR__}\common\ProcessHelper.nsh"
  Push "first"
  Exec '"${HELPER}" window closes'
  Kestrine::CloseProcessWindows "${HELPER}"
  Pop $0
  !insertmacro KestrineResult "closes: $0"
  Kestrine::IsProcessRunning "${HELPER}"
  Pop $0
  !insertmacro KestrineResult "closes, afterwards: $0"
  Exec '"${HELPER}" window ignores'
  Kestrine::CloseProcessWindows "${HELPER}"
  Pop $0
  !insertmacro KestrineResult "ignores: $0"
  Kestrine::IsProcessRunning "${HELPER}"
  Pop $0
  !insertmacro KestrineResult "ignores, afterwards: $0"
  Kestrine::KillProcess "${HELPER}"
  Pop $0
  Kestrine::CloseProcessWindows "no root"
  Pop $0
  !insertmacro KestrineResult "no root: $0"
