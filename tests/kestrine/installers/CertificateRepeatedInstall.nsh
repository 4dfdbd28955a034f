; Installing from one path twice counts that file once: one uninstall takes
; the certificate away. A certificate of another serial number keeps the
; store and the reference key until it goes too.
;expect install a: success
;expect install a again: success
;expect install c: success
;expect installed: counter 1, certificates 2, reference key yes
;expect uninstall a: success
;expect c left: counter -1, certificates 1, reference key yes
;expect uninstall c: success
;expect none left: counter -1, certificates 0, reference key no
!include "${__FILEDIR__}\common\Certificates.nsh"
  !insertmacro CertificatesClean
  Kestrine::InstallQLNCertFromFile "${CERTS}\a.der"
  Pop $0
  !insertmacro KestrineResult "install a: $0"
  Kestrine::InstallQLNCertFromFile "${CERTS}\a.der"
  Pop $0
  !insertmacro KestrineResult "install a again: $0"
  Kestrine::InstallQLNCertFromFile "${CERTS}\c.der"
  Pop $0
  !insertmacro KestrineResult "install c: $0"
  !insertmacro CertificateState "installed"
  Kestrine::UnInstallQLNCertFromFile "${CERTS}\a.der"
  Pop $0
  !insertmacro KestrineResult "uninstall a: $0"
  !insertmacro CertificateState "c left"
  Kestrine::UnInstallQLNCertFromFile "${CERTS}\c.der"
  Pop $0
  !insertmacro KestrineResult "uninstall c: $0"
  !insertmacro CertificateState "none left"
  !insertmacro CertificatesClean
