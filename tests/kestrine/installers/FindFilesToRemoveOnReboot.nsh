; Every pair of entries (source, destination) with the search text in
; either entry goes, and a last entry without a partner goes alone; the rest
; is written back (also when nothing matched). A missing value is no failure
; and stays missing; an empty search text drops nothing. A search text or
; value name with a character above U+00FF is refused and nothing is changed.
;expect odd index: Success c|d|
;expect even index, machine hive: Success a|b|
;expect last entry: Success a|b|
;expect no match: Success c|d|
;expect empty search text: Success c|d|
;expect missing value: Success <missing>
;expect Cyrillic search text: Error: PendingFileRenameOperations::setValue() c|d|
;expect Cyrillic value name: Error: PendingFileRenameOperations::setValue() c|x|
;expect stack: first
!include "${__FILEDIR__}\common\Registry.nsh"
  !insertmacro KestrineSweepScenarioKeys
  Push "first"
  ; a, b, c, d
  WriteRegMultiStr /REGEDIT5 HKCU "${SCENARIO_KEY}" "Pending" 61,00,00,00,62,00,00,00,63,00,00,00,64,00,00,00,00,00
  SetRegView 64
  WriteRegMultiStr /REGEDIT5 HKLM "${SCENARIO_KEY}" "Pending" 61,00,00,00,62,00,00,00,63,00,00,00,64,00,00,00,00,00
  ; a, b, c
  WriteRegMultiStr /REGEDIT5 HKLM "${SCENARIO_KEY}" "Last" 61,00,00,00,62,00,00,00,63,00,00,00,00,00
  SetRegView 32

  Kestrine::FindFilesToRemoveOnReboot "b" "Pending" "HKCU\${SCENARIO_KEY}"
  Pop $0
  !insertmacro KestrineReadMultiSz ${HKEY_CURRENT_USER_VALUE} "${SCENARIO_KEY}" "Pending" $1
  !insertmacro KestrineResult "odd index: $0 $1"

  Kestrine::FindFilesToRemoveOnReboot "c" "Pending" "HKEY_LOCAL_MACHINE\${SCENARIO_KEY}"
  Pop $0
  !insertmacro KestrineReadMultiSz ${HKEY_LOCAL_MACHINE_VALUE} "${SCENARIO_KEY}" "Pending" $1
  !insertmacro KestrineResult "even index, machine hive: $0 $1"

  Kestrine::FindFilesToRemoveOnReboot "c" "Last" "HKLM\${SCENARIO_KEY}"
  Pop $0
  !insertmacro KestrineReadMultiSz ${HKEY_LOCAL_MACHINE_VALUE} "${SCENARIO_KEY}" "Last" $1
  !insertmacro KestrineResult "last entry: $0 $1"

  Kestrine::FindFilesToRemoveOnReboot "zzz" "Pending" "HKCU\${SCENARIO_KEY}"
  Pop $0
  !insertmacro KestrineReadMultiSz ${HKEY_CURRENT_USER_VALUE} "${SCENARIO_KEY}" "Pending" $1
  !insertmacro KestrineResult "no match: $0 $1"

  Kestrine::FindFilesToRemoveOnReboot "" "Pending" "HKCU\${SCENARIO_KEY}"
  Pop $0
  !insertmacro KestrineReadMultiSz ${HKEY_CURRENT_USER_VALUE} "${SCENARIO_KEY}" "Pending" $1
  !insertmacro KestrineResult "empty search text: $0 $1"

  Kestrine::FindFilesToRemoveOnReboot "a" "Nothing" "HKCU\${SCENARIO_KEY}"
  Pop $0
  !insertmacro KestrineReadMultiSz ${HKEY_CURRENT_USER_VALUE} "${SCENARIO_KEY}" "Nothing" $1
  !insertmacro KestrineResult "missing value: $0 $1"

  Kestrine::FindFilesToRemoveOnReboot "${U+0416}" "Pending" "HKCU\${SCENARIO_KEY}"
  Pop $0
  !insertmacro KestrineReadMultiSz ${HKEY_CURRENT_USER_VALUE} "${SCENARIO_KEY}" "Pending" $1
  !insertmacro KestrineResult "Cyrillic search text: $0 $1"

  ; c, x as the key's default value
  WriteRegMultiStr /REGEDIT5 HKCU "${SCENARIO_KEY}" "" 63,00,00,00,78,00,00,00,00,00
  Kestrine::FindFilesToRemoveOnReboot "c" "${U+0418}${U+043C}${U+044F}" "HKCU\${SCENARIO_KEY}"
  Pop $0
  !insertmacro KestrineReadMultiSz ${HKEY_CURRENT_USER_VALUE} "${SCENARIO_KEY}" "" $1
  !insertmacro KestrineResult "Cyrillic value name: $0 $1"
  !insertmacro KestrineSweepScenarioKeys
