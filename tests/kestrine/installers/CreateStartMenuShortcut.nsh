; A shortcut to a program of the prefix is written where the script asks, and
; the rest of the stack stays as it was.
;expect created: success
;expect file: present
;expect stack: first
  Push "first"
  InitPluginsDir
  Kestrine::CreateStartMenuShortcut "Tavrel.Quennix.Toolbox" "$SYSDIR\shell32.dll" \
      "--start" "$SYSDIR\notepad.exe" "$PLUGINSDIR\Toolbox.lnk"
  Pop $0
  !insertmacro KestrineResult "created: $0"
  StrCpy $1 "missing"
  IfFileExists "$PLUGINSDIR\Toolbox.lnk" 0 +2
    StrCpy $1 "present"
  !insertmacro KestrineResult "file: $1"
