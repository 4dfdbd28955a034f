; Registry helpers of the registry scenarios. Their keys live under
; Software\KestrineScenario in HKCU and in HKLM's 64-bit view, where the
; plug-in opens them; each scenario sweeps both before and after.
!define SCENARIO_KEY "Software\KestrineScenario"
!define HKEY_CURRENT_USER_VALUE 0x80000001
!define HKEY_LOCAL_MACHINE_VALUE 0x80000002
; RegGetValueW flags: REG_MULTI_SZ values only, 64-bit view.
!define KESTRINE_RRF_MULTI_SZ_64 0x10020

!macro KestrineSweepScenarioKeys
  SetRegView 64
  DeleteRegKey HKCU "${SCENARIO_KEY}"
  DeleteRegKey HKLM "${SCENARIO_KEY}"
  SetRegView 32
!macroend

; Reads a multi-string value into OUT as its entries, each followed by "|";
; "<missing>" when there is no multi-string value of that name. Uses $R5-$R9.
!macro KestrineReadMultiSz ROOT SUBKEY NAME OUT
  !define /redef KRMS ${__COUNTER__}
  System::Alloc 65536
  Pop $R5
  System::Call 'advapi32::RegGetValueW(p ${ROOT}, w "${SUBKEY}", w "${NAME}", i ${KESTRINE_RRF_MULTI_SZ_64}, p 0, p R5, *i 65536 R6) i .R7'
  StrCpy ${OUT} ""
  StrCmp $R7 0 krms_read_${KRMS}
  StrCpy ${OUT} "<missing>"
  Goto krms_done_${KRMS}
  krms_read_${KRMS}:
  ; The list ends with one NUL after the last entry's own.
  IntOp $R6 $R6 - 2
  IntPtrOp $R6 $R5 + $R6
  StrCpy $R8 $R5
  krms_loop_${KRMS}:
    IntPtrCmpU $R8 $R6 krms_done_${KRMS} 0 krms_done_${KRMS}
    System::Call '*$R8(&w1024 .R9)'
    StrCpy ${OUT} "${OUT}$R9|"
    StrLen $R9 $R9
    IntOp $R9 $R9 + 1
    IntOp $R9 $R9 * 2
    IntPtrOp $R8 $R8 + $R9
    Goto krms_loop_${KRMS}
  krms_done_${KRMS}:
  System::Free $R5
!macroend
