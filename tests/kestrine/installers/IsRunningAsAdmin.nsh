; Under Wine the caller is an administrator: $R0 becomes "true"; the other
; registers and the stack stay as they were.
;expect R0: true
;expect 0: unset, 9: unset, R1: unset, R9: unset
;expect stack: first
;expect stack: second
  StrCpy $R0 "unset"
  StrCpy $0 "unset"
  StrCpy $9 "unset"
  StrCpy $R1 "unset"
  StrCpy $R9 "unset"
  Kestrine::IsRunningAsAdmin "first" "second"
  !insertmacro KestrineResult "R0: $R0"
  !insertmacro KestrineResult "0: $0, 9: $9, R1: $R1, R9: $R9"
