; Shared lines of the process scenarios (kept out of the scenario folder's top
; level, so it is no scenario itself): the helper program unpacked into the
; installer's plug-in folder on C:, whose volume Windows lists.
!define HELPER "$PLUGINSDIR\kestrine_process_helper.exe"
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  File "${KESTRINE_BIN_DIR}/kestrine_process_helper.exe"
  SetOutPath "$EXEDIR"
