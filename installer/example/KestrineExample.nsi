; Example installer on the Kestrine plug-in: it asks the plug-in for the
; machine facts and writes them to machine-facts.txt in the chosen folder.
;
; Build it where an installed Kestrine put it (the plug-in lies two folders up,
; in Plugins/x86-unicode):
;   makensis KestrineExample.nsi
; Run it, or silently into a folder of your choice:
;   KestrineExample.exe /S /D=C:\Temp\Kestrine example
;
; A plug-in action takes its parameters from the stack and leaves its result
; there: push the parameters, call, pop the result. An action that may push
; nothing is called with a marker pushed first.
Unicode true
!addplugindir /x86-unicode "${__FILEDIR__}/../../Plugins/x86-unicode"
!getdllversion "${__FILEDIR__}/../../Plugins/x86-unicode/Kestrine.dll" KESTRINE_VERSION_
!define KESTRINE_VERSION \
  "${KESTRINE_VERSION_1}.${KESTRINE_VERSION_2}.${KESTRINE_VERSION_3}"

Name "Kestrine ${KESTRINE_VERSION} example"
OutFile "KestrineExample.exe"
RequestExecutionLevel user
InstallDir "$TEMP\Kestrine example"
ShowInstDetails show

Page directory
Page instfiles

Section
  ; GetVistaPreferredUILanguage pushes nothing when Windows cannot tell: the
  ; marker below the call is then what comes back.
  Push "unknown"
  Kestrine::GetVistaPreferredUILanguage
  Pop $0
  StrCmp $0 "unknown" +2
    Pop $1  ; the marker, still below the answer

  Kestrine::GetPhysicalProcessorCount
  Pop $1

  Kestrine::GetTimeNow
  Pop $2

  ; IsRunningAsAdmin pushes nothing: it sets $R0 to "true" or "false".
  Kestrine::IsRunningAsAdmin
  StrCpy $3 $R0

  DetailPrint "UI language: $0"
  DetailPrint "logical processors: $1"
  DetailPrint "seconds since 1970: $2"
  DetailPrint "administrator: $3"

  CreateDirectory "$INSTDIR"
  FileOpen $4 "$INSTDIR\machine-facts.txt" w
  FileWrite $4 "plug-in: Kestrine ${KESTRINE_VERSION}$\r$\n"
  FileWrite $4 "UI language: $0$\r$\n"
  FileWrite $4 "logical processors: $1$\r$\n"
  FileWrite $4 "seconds since 1970: $2$\r$\n"
  FileWrite $4 "administrator: $3$\r$\n"
  FileClose $4
SectionEnd
