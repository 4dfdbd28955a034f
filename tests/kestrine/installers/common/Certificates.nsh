; Shared lines of the certificate scenarios (kept out of the scenario folder's
; top level, so it is no scenario itself): the build's openssl-made
; certificates unpacked into the installer's plug-in folder, and macros that
; look at and empty the machine's store "Quillon, Inc." and the reference key
; of the 64-bit registry view. They use $R2-$R9.
;   a.der and b.der: two certificates of the serial number 0A 1B 2C
;   c.der:           a certificate of the serial number 3D 4E 5F
; Their subjects are "Kestrine test " and the file's name.
!define CERTS "$PLUGINSDIR"
!define CERT_STORE "Quillon, Inc."
!define CERT_KEY "SOFTWARE\Quillon\ReferencedCerts"
!define CERT_LABEL 0
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  File "${KESTRINE_BIN_DIR}/kestrine-certs/a.der"
  File "${KESTRINE_BIN_DIR}/kestrine-certs/b.der"
  File "${KESTRINE_BIN_DIR}/kestrine-certs/c.der"
  SetOutPath "$EXEDIR"

; Deletes the store (a deleting open returns no store) and the reference key.
!macro CertificatesClean
  System::Call 'crypt32::CertOpenStore(i 10, i 1, i 0, i 0x20010, w "${CERT_STORE}") i .R9'
  SetRegView 64
  DeleteRegKey HKLM "${CERT_KEY}"
  SetRegView default
!macroend

; The number of certificates in the store, read only.
!macro CertificateCount var
  !define /redef /math CERT_LABEL ${CERT_LABEL} + 1
  StrCpy ${var} 0
  StrCpy $R9 0
  System::Call 'crypt32::CertOpenStore(i 10, i 1, i 0, i 0x28000, w "${CERT_STORE}") i .R8'
  IntCmp $R8 0 cert_count_done_${CERT_LABEL}
  cert_count_next_${CERT_LABEL}:
    System::Call 'crypt32::CertEnumCertificatesInStore(i R8, i R9) i .R9'
    IntCmp $R9 0 cert_count_close_${CERT_LABEL}
    IntOp ${var} ${var} + 1
    Goto cert_count_next_${CERT_LABEL}
  cert_count_close_${CERT_LABEL}:
  System::Call 'crypt32::CertCloseStore(i R8, i 0)'
  cert_count_done_${CERT_LABEL}:
!macroend

; The one-byte counter value `name` of the reference key; -1 when there is none.
!macro ReferenceCounter name var
  !define /redef /math CERT_LABEL ${CERT_LABEL} + 1
  StrCpy ${var} -1
  System::Call 'advapi32::RegOpenKeyExW(i 0x80000002, w "${CERT_KEY}", i 0, i 0x20119, *i .R8) i .R9'
  IntCmp $R9 0 0 cert_counter_done_${CERT_LABEL} cert_counter_done_${CERT_LABEL}
  System::Call 'advapi32::RegQueryValueExW(i R8, w "${name}", i 0, i 0, *i 0 R7, *i 4 R6) i .R9'
  System::Call 'advapi32::RegCloseKey(i R8)'
  IntCmp $R9 0 0 cert_counter_done_${CERT_LABEL} cert_counter_done_${CERT_LABEL}
  StrCpy ${var} $R7
  cert_counter_done_${CERT_LABEL}:
!macroend

; The certificates of the store by the last word of their subjects, in the
; store's order ("a c"), or "none".
!macro CertificateNames var
  !define /redef /math CERT_LABEL ${CERT_LABEL} + 1
  StrCpy $R6 ""
  StrCpy $R9 0
  System::Call 'crypt32::CertOpenStore(i 10, i 1, i 0, i 0x28000, w "${CERT_STORE}") i .R8'
  IntCmp $R8 0 cert_names_done_${CERT_LABEL}
  cert_names_next_${CERT_LABEL}:
    System::Call 'crypt32::CertEnumCertificatesInStore(i R8, i R9) i .R9'
    IntCmp $R9 0 cert_names_close_${CERT_LABEL}
    System::Call 'crypt32::CertGetNameStringW(i R9, i 4, i 0, i 0, w .R7, i ${NSIS_MAX_STRLEN}) i'
    StrCpy $R7 $R7 "" 14
    StrCpy $R6 "$R6 $R7"
    Goto cert_names_next_${CERT_LABEL}
  cert_names_close_${CERT_LABEL}:
  System::Call 'crypt32::CertCloseStore(i R8, i 0)'
  cert_names_done_${CERT_LABEL}:
  StrCmp $R6 "" 0 +2
    StrCpy $R6 " none"
  StrCpy ${var} $R6 "" 1
!macroend

; "yes" when the reference key holds a path value named `path`, else "no".
!macro ReferencePath path var
  !define /redef /math CERT_LABEL ${CERT_LABEL} + 1
  StrCpy ${var} "no"
  System::Call 'advapi32::RegOpenKeyExW(i 0x80000002, w "${CERT_KEY}", i 0, i 0x20119, *i .R8) i .R9'
  IntCmp $R9 0 0 cert_path_done_${CERT_LABEL} cert_path_done_${CERT_LABEL}
  System::Call 'advapi32::RegQueryValueExW(i R8, w "${path}", i 0, i 0, i 0, i 0) i .R9'
  System::Call 'advapi32::RegCloseKey(i R8)'
  IntCmp $R9 0 0 cert_path_done_${CERT_LABEL} cert_path_done_${CERT_LABEL}
  StrCpy ${var} "yes"
  cert_path_done_${CERT_LABEL}:
!macroend

; "yes" when the reference key exists, else "no".
!macro ReferenceKeyExists var
  !define /redef /math CERT_LABEL ${CERT_LABEL} + 1
  StrCpy ${var} "no"
  System::Call 'advapi32::RegOpenKeyExW(i 0x80000002, w "${CERT_KEY}", i 0, i 0x20119, *i .R8) i .R9'
  IntCmp $R9 0 0 cert_key_done_${CERT_LABEL} cert_key_done_${CERT_LABEL}
  System::Call 'advapi32::RegCloseKey(i R8)'
  StrCpy ${var} "yes"
  cert_key_done_${CERT_LABEL}:
!macroend

; One result line: the counter of a and b, the store's certificates and the key.
!macro CertificateState label
  !insertmacro ReferenceCounter "Ref: 0a 1b 2c" $R5
  !insertmacro CertificateCount $R4
  !insertmacro ReferenceKeyExists $R3
  !insertmacro KestrineResult "${label}: counter $R5, certificates $R4, reference key $R3"
!macroend
