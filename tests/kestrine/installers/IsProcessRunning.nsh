; A running helper is found by its drive-letter path, also with a lower-case
; drive letter; the same file on a drive with no volume, a path without a
; root, and a helper that does not run are not.
;expect running: true
;expect lower-case drive c: true
;expect no volume at the drive: false
;expect other letter case of the name: false
;expect no root: error parsing file
;expect killed: success
;expect after the kill: false
;expect stack: first
!include "${__FILEDIR__}\common\ProcessHelper.nsh"
  Push "first"
  Exec '"${HELPER}" run'
  Kestrine::IsProcessRunning "${HELPER}"
  Pop $0
  !insertmacro KestrineResult "running: $0"
  StrCpy $1 "${HELPER}" 1
  StrCpy $2 "${HELPER}" "" 1
  System::Call 'user32::CharLowerW(w r1 r1)'
  Kestrine::IsProcessRunning "$1$2"
  Pop $0
  !insertmacro KestrineResult "lower-case drive $1: $0"
  Kestrine::IsProcessRunning "Q$2"
  Pop $0
  !insertmacro KestrineResult "no volume at the drive: $0"
  Kestrine::IsProcessRunning "$PLUGINSDIR\KESTRINE_PROCESS_HELPER.EXE"
  Pop $0
  !insertmacro KestrineResult "other letter case of the name: $0"
  Kestrine::IsProcessRunning "kestrine_process_helper.exe"
  Pop $0
  !insertmacro KestrineResult "no root: $0"
  Kestrine::KillProcess "${HELPER}"
  Pop $0
  !insertmacro KestrineResult "killed: $0"
  Kestrine::IsProcessRunning "${HELPER}"
  Pop $0
  !insertmacro KestrineResult "after the kill: $0"
