; Files that hold no certificate: a missing file, an empty file and a text.
; Both actions stop at the file and leave no certificate and no reference key.
;expect install missing: error: could not open certificate
;expect uninstall missing: error: Uninstaller could not open certificate
;expect install empty: error: could not read from cert file
;expect uninstall empty: error: Uninstaller could not read from cert file
;expect install text: error: Could not create cert context
;expect uninstall text: error: Uninstaller could not create cert context
;expect afterwards: counter -1, certificates 0, reference key no
;expect stack: first
!include "${__FILEDIR__}\common\Certificates.nsh"
  !insertmacro CertificatesClean
  FileOpen $1 "${CERTS}\empty.der" w
  FileClose $1
  FileOpen $1 "${CERTS}\text.der" w
  FileWrite $1 "not a certificate$\r$\n"
  FileClose $1
  Push "first"
  Kestrine::InstallQLNCertFromFile "${CERTS}\missing.der"
  Pop $0
  !insertmacro KestrineResult "install missing: $0"
  Kestrine::UnInstallQLNCertFromFile "${CERTS}\missing.der"
  Pop $0
  !insertmacro KestrineResult "uninstall missing: $0"
  Kestrine::InstallQLNCertFromFile "${CERTS}\empty.der"
  Pop $0
  !insertmacro KestrineResult "install empty: $0"
  Kestrine::UnInstallQLNCertFromFile "${CERTS}\empty.der"
  Pop $0
  !insertmacro KestrineResult "uninstall empty: $0"
  Kestrine::InstallQLNCertFromFile "${CERTS}\text.der"
  Pop $0
  !insertmacro KestrineResult "install text: $0"
  Kestrine::UnInstallQLNCertFromFile "${CERTS}\text.der"
  Pop $0
  !insertmacro KestrineResult "uninstall text: $0"
  !insertmacro CertificateState "afterwards"
  !insertmacro CertificatesClean
