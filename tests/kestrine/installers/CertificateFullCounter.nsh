; A counter at 255 may stand for more files than one byte counts. After the
; install of a it is set to 255, as 254 installs from other paths would have
; left it: the install of b keeps it there, and the uninstalls of a and b
; take their path values away without lowering it, so both certificates of
; the serial number stay in the store for the files still installed.
;expect install a: success
;expect full: counter 255, certificates 1, reference key yes
;expect install b: success
;expect b added: counter 255, certificates 2, reference key yes
;expect uninstall a: success
;expect a gone: counter 255, certificates 2, reference key yes
;expect a gone paths: a no, b yes
;expect uninstall b: success
;expect b gone: counter 255, certificates 2, reference key yes
;expect b gone paths: a no, b no
;expect stack: first
!include "${__FILEDIR__}\common\Certificates.nsh"
  !insertmacro CertificatesClean
  Push "first"
  Kestrine::InstallQLNCertFromFile "${CERTS}\a.der"
  Pop $0
  !insertmacro KestrineResult "install a: $0"
  SetRegView 64
  WriteRegBin HKLM "${CERT_KEY}" "Ref: 0a 1b 2c" FF
  SetRegView default
  !insertmacro CertificateState "full"
  Kestrine::InstallQLNCertFromFile "${CERTS}\b.der"
  Pop $0
  !insertmacro KestrineResult "install b: $0"
  !insertmacro CertificateState "b added"
  Kestrine::UnInstallQLNCertFromFile "${CERTS}\a.der"
  Pop $0
  !insertmacro KestrineResult "uninstall a: $0"
  !insertmacro CertificateState "a gone"
  !insertmacro ReferencePath "${CERTS}\a.der" $1
  !insertmacro ReferencePath "${CERTS}\b.der" $2
  !insertmacro KestrineResult "a gone paths: a $1, b $2"
  Kestrine::UnInstallQLNCertFromFile "${CERTS}\b.der"
  Pop $0
  !insertmacro KestrineResult "uninstall b: $0"
  !insertmacro CertificateState "b gone"
  !insertmacro ReferencePath "${CERTS}\a.der" $1
  !insertmacro ReferencePath "${CERTS}\b.der" $2
  !insertmacro KestrineResult "b gone paths: a $1, b $2"
  !insertmacro CertificatesClean
