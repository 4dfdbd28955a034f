; The value becomes exactly one entry, the data; the key is made when needed.
; A key path without a known root cannot be written. A value name or data
; with a character above U+00FF is refused: nothing is written, neither the
; key's default value nor an empty entry.
;expect over three entries: Success C:\Program Files\App|
;expect new machine key: Success one|
;expect empty data: Success |
;expect unknown root: Error: setMultiStringValue()
;expect Cyrillic value name: Error: setMultiStringValue() <missing>
;expect Cyrillic data: Error: setMultiStringValue() C:\Program Files\App|
;expect stack: first
!include "${__FILEDIR__}\common\Registry.nsh"
  !insertmacro KestrineSweepScenarioKeys
  Push "first"
  ; a, b, c
  WriteRegMultiStr /REGEDIT5 HKCU "${SCENARIO_KEY}" "List" 61,00,00,00,62,00,00,00,63,00,00,00,00,00

  Kestrine::WriteRegMultiSz "C:\Program Files\App" "List" "HKCU\${SCENARIO_KEY}"
  Pop $0
  !insertmacro KestrineReadMultiSz ${HKEY_CURRENT_USER_VALUE} "${SCENARIO_KEY}" "List" $1
  !insertmacro KestrineResult "over three entries: $0 $1"

  Kestrine::WriteRegMultiSz "one" "Fresh" "HKLM\${SCENARIO_KEY}\Made"
  Pop $0
  !insertmacro KestrineReadMultiSz ${HKEY_LOCAL_MACHINE_VALUE} "${SCENARIO_KEY}\Made" "Fresh" $1
  !insertmacro KestrineResult "new machine key: $0 $1"

  Kestrine::WriteRegMultiSz "" "Empty" "HKCU\${SCENARIO_KEY}"
  Pop $0
  !insertmacro KestrineReadMultiSz ${HKEY_CURRENT_USER_VALUE} "${SCENARIO_KEY}" "Empty" $1
  !insertmacro KestrineResult "empty data: $0 $1"

  Kestrine::WriteRegMultiSz "x" "List" "HKXX\${SCENARIO_KEY}"
  Pop $0
  !insertmacro KestrineResult "unknown root: $0"

  Kestrine::WriteRegMultiSz "x" "${U+0418}${U+043C}${U+044F}" "HKCU\${SCENARIO_KEY}"
  Pop $0
  !insertmacro KestrineReadMultiSz ${HKEY_CURRENT_USER_VALUE} "${SCENARIO_KEY}" "" $1
  !insertmacro KestrineResult "Cyrillic value name: $0 $1"

  Kestrine::WriteRegMultiSz "C:\${U+041F}${U+0443}${U+0442}${U+044C}" "List" "HKCU\${SCENARIO_KEY}"
  Pop $0
  !insertmacro KestrineReadMultiSz ${HKEY_CURRENT_USER_VALUE} "${SCENARIO_KEY}" "List" $1
  !insertmacro KestrineResult "Cyrillic data: $0 $1"
  !insertmacro KestrineSweepScenarioKeys
