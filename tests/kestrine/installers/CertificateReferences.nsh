; Two certificates of one serial number installed from two files: the counter
; reads 2; both certificates stay while one file still references them and
; leave with the uninstall of the last, together with the reference key. Each
; action pops its path and pushes one text.
;expect install a: success
;expect install b: success
;expect both: counter 2, certificates 2, reference key yes
;expect uninstall a: success
;expect one left: counter 1, certificates 2, reference key yes
;expect uninstall b: success
;expect none left: counter -1, certificates 0, reference key no
;expect stack: first
!include "${__FILEDIR__}\common\Certificates.nsh"
  !insertmacro CertificatesClean
  Push "first"
  Kestrine::InstallQLNCertFromFile "${CERTS}\a.der"
  Pop $0
  !insertmacro KestrineResult "install a: $0"
  Kestrine::InstallQLNCertFromFile "${CERTS}\b.der"
  Pop $0
  !insertmacro KestrineResult "install b: $0"
  !insertmacro CertificateState "both"
  Kestrine::UnInstallQLNCertFromFile "${CERTS}\a.der"
  Pop $0
  !insertmacro KestrineResult "uninstall a: $0"
  !insertmacro CertificateState "one left"
  Kestrine::UnInstallQLNCertFromFile "${CERTS}\b.der"
  Pop $0
  !insertmacro KestrineResult "uninstall b: $0"
  !insertmacro CertificateState "none left"
  !insertmacro CertificatesClean
