; Example installer on the Kestrine plug-in: one section per family of its
; actions, each calling them as an installer does, and the results written to
; example-results.txt in the chosen folder. Every action, with what it pops and
; pushes, is listed in kestrine-actions.md beside this script.
;
; Build it from any folder; the plug-in lies two folders up, in
; Plugins/x86-unicode. From the install folder:
;   makensis Examples/Kestrine/KestrineExample.nsi
; makensis writes KestrineExample.exe beside this script (with -NOCD, into the
; current folder). Run it, or silently into a folder of your choice:
;   KestrineExample.exe /S /D=C:\Temp\Kestrine example
;
; A plug-in action takes its parameters from the stack and leaves its result
; there: push the parameters, call, pop the result. In the call syntax
; (Kestrine::Action "a" "b") the action pops "a" first. An action that may push
; nothing is called with a marker pushed first.
;
; The result texts differ in letter case from family to family ("success",
; "Success", "SUCCESS"): StrCmpS compares case-sensitively and needs the exact
; text of the reference; StrCmp ignores case.
Unicode true

; makensis changes into the script's folder unless told not to (-NOCD), and
; ${__FILEDIR__} is the folder as the command line named it: it leads back to
; this script only when makensis stayed where it was started or the name is
; absolute.
!if /FileExists "${__FILEDIR__}\${__FILE__}"
  !define EXAMPLE_DIR "${__FILEDIR__}"
!else
  !define EXAMPLE_DIR "."
!endif
!define KESTRINE_DIR "${EXAMPLE_DIR}\..\..\Plugins\x86-unicode"
!addplugindir /x86-unicode "${KESTRINE_DIR}"
!getdllversion "${KESTRINE_DIR}\Kestrine.dll" KESTRINE_VERSION_
!define KESTRINE_VERSION \
  "${KESTRINE_VERSION_1}.${KESTRINE_VERSION_2}.${KESTRINE_VERSION_3}"

Name "Kestrine ${KESTRINE_VERSION} example"
OutFile "KestrineExample.exe"
RequestExecutionLevel user
InstallDir "$TEMP\Kestrine example"
ShowInstDetails show

Page directory
Page instfiles

Var results
Var admin

; Writes one line to example-results.txt and to the details list.
!macro ExampleResult text
  DetailPrint "${text}"
  FileWrite $results "${text}$\r$\n"
!macroend

Section "-results"
  CreateDirectory "$INSTDIR"
  FileOpen $results "$INSTDIR\example-results.txt" w
  !insertmacro ExampleResult "plug-in: Kestrine ${KESTRINE_VERSION}"
SectionEnd

Section "Machine facts"
  ; GetVistaPreferredUILanguage pushes nothing when Windows cannot tell: the
  ; marker below the call is then what comes back.
  Push "unknown"
  Kestrine::GetVistaPreferredUILanguage
  Pop $0
  StrCmpS $0 "unknown" +2
    Pop $1  ; the marker, still below the answer
  !insertmacro ExampleResult "UI language: $0"

  Kestrine::GetPhysicalProcessorCount
  Pop $0
  !insertmacro ExampleResult "logical processors: $0"

  Kestrine::GetTimeNow
  Pop $0
  !insertmacro ExampleResult "seconds since 1970: $0"

  ; IsRunningAsAdmin pushes nothing: it sets $R0 to "true" or "false".
  Kestrine::IsRunningAsAdmin
  StrCpy $admin $R0
  !insertmacro ExampleResult "administrator: $admin"
SectionEnd

Section "Processes"
  ; A program of the product that still runs holds its files: look for it by
  ; the full path of its image file, here this installer itself, and ask a
  ; program found to close its windows ("success", "failed").
  Kestrine::IsProcessRunning "$EXEPATH"
  Pop $0
  !insertmacro ExampleResult "installer running: $0"
  Kestrine::IsProcessRunning "$INSTDIR\app.exe"
  Pop $0
  StrCmpS $0 "true" 0 +3
    Kestrine::CloseProcessWindows "$INSTDIR\app.exe"
    Pop $0
  !insertmacro ExampleResult "app.exe running: $0"

  ; ExecWait waits for a command line: the exit code, or "error" when the
  ; program could not be started.
  Kestrine::ExecWait '"$SYSDIR\cmd.exe" /c exit 3'
  Pop $0
  !insertmacro ExampleResult "exit code: $0"
SectionEnd

Section "Certificates"
  ; The certificate goes into a store of the local machine: only an
  ; administrator can install it. The example takes one that lies beside the
  ; installer as KestrineExample.cer (one DER certificate), installs it and,
  ; as an uninstaller would, removes it again.
  StrCmpS $admin "true" 0 certificate_skipped
  IfFileExists "$EXEDIR\KestrineExample.cer" 0 certificate_skipped
  Kestrine::InstallQLNCertFromFile "$EXEDIR\KestrineExample.cer"
  Pop $0
  !insertmacro ExampleResult "certificate installed: $0"
  Kestrine::UnInstallQLNCertFromFile "$EXEDIR\KestrineExample.cer"
  Pop $0
  !insertmacro ExampleResult "certificate removed: $0"
  Return
  certificate_skipped:
  !insertmacro ExampleResult "certificate: none installed (not an administrator, or no KestrineExample.cer)"
SectionEnd

Section "Registry, files and installed products"
  ; ReplaceRegexInFile replaces the first match of a pattern in a small text
  ; file by a literal text. Its success is "Success", with a capital S.
  FileOpen $1 "$INSTDIR\settings.ini" w
  FileWrite $1 "[server]$\r$\nport=8080$\r$\n"
  FileClose $1
  Kestrine::ReplaceRegexInFile "$INSTDIR\settings.ini" "port=9090" "port=\d+"
  Pop $0
  !insertmacro ExampleResult "settings: $0"

  ; MsiFindVersionByUpgradeCode gives the version of the product that the
  ; Windows installer holds under an upgrade code, or a text beginning
  ; "error: " ("error: Not found" when there is none).
  Kestrine::MsiFindVersionByUpgradeCode "{6A1C94A8-2F3B-4C1D-9E27-5B0D3C8F7A41}"
  Pop $0
  StrCpy $1 $0 7
  StrCmpS $1 "error: " 0 +2
    StrCpy $0 "none ($0)"
  !insertmacro ExampleResult "earlier version: $0"
SectionEnd

Section "Shortcuts"
  ; An installer writes its shortcuts into $SMPROGRAMS; the example keeps this
  ; one, which opens the settings file in Notepad, in the chosen folder. The
  ; call pops the application user model id, the icon path, the arguments, the
  ; target path and the shortcut file path.
  Kestrine::CreateStartMenuShortcut "Quillon.KestrineExample" "$SYSDIR\notepad.exe" \
      '"$INSTDIR\settings.ini"' "$SYSDIR\notepad.exe" "$INSTDIR\Example settings.lnk"
  Pop $0
  !insertmacro ExampleResult "shortcut: $0"
SectionEnd

Section "-close results"
  FileClose $results
SectionEnd
