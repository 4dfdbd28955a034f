; Against the installer's own process, whose command line WMI can read: the
; text pops first, then the process name.
;expect own switch: found
;expect absent text: failed to find it
;expect empty text: found
;expect name is case-sensitive: failed to find it
;expect name that does not run: failed to find it
;expect stack: first
  Push "first"
  Kestrine::SearchProcessCommandLines "/S" "installer.exe"
  Pop $0
  !insertmacro KestrineResult "own switch: $0"
  Kestrine::SearchProcessCommandLines "--no-such-switch" "installer.exe"
  Pop $0
  !insertmacro KestrineResult "absent text: $0"
  Kestrine::SearchProcessCommandLines "" "installer.exe"
  Pop $0
  !insertmacro KestrineResult "empty text: $0"
  Kestrine::SearchProcessCommandLines "/S" "INSTALLER.EXE"
  Pop $0
  !insertmacro KestrineResult "name is case-sensitive: $0"
  Kestrine::SearchProcessCommandLines "" "no-such-program.exe"
  Pop $0
  !insertmacro KestrineResult "name that does not run: $0"
