; A path installed with one certificate whose file now holds another's: p is
; installed holding a and q holding c, then p's file is replaced by a copy of
; c. The uninstall of p drops the reference that p was installed with: c
; stays for q, and a leaves with its last reference.
;expect install p: success
;expect install q: success
;expect ~installed: counters a 1, c 1, certificates (a c|c a)
;expect uninstall p: success
;expect p gone: counters a -1, c 1, certificates c, path p no, path q yes
;expect uninstall q: success
;expect q gone: counters a -1, c -1, certificates none, reference key no
;expect stack: first
!include "${__FILEDIR__}\common\Certificates.nsh"
  !insertmacro CertificatesClean
  CopyFiles /SILENT "${CERTS}\a.der" "${CERTS}\p.der"
  CopyFiles /SILENT "${CERTS}\c.der" "${CERTS}\q.der"
  Push "first"
  Kestrine::InstallQLNCertFromFile "${CERTS}\p.der"
  Pop $0
  !insertmacro KestrineResult "install p: $0"
  Kestrine::InstallQLNCertFromFile "${CERTS}\q.der"
  Pop $0
  !insertmacro KestrineResult "install q: $0"
  !insertmacro ReferenceCounter "Ref: 0a 1b 2c" $1
  !insertmacro ReferenceCounter "Ref: 3d 4e 5f" $2
  !insertmacro CertificateNames $3
  !insertmacro KestrineResult "installed: counters a $1, c $2, certificates $3"
  CopyFiles /SILENT "${CERTS}\c.der" "${CERTS}\p.der"
  Kestrine::UnInstallQLNCertFromFile "${CERTS}\p.der"
  Pop $0
  !insertmacro KestrineResult "uninstall p: $0"
  !insertmacro ReferenceCounter "Ref: 0a 1b 2c" $1
  !insertmacro ReferenceCounter "Ref: 3d 4e 5f" $2
  !insertmacro CertificateNames $3
  !insertmacro ReferencePath "${CERTS}\p.der" $4
  !insertmacro ReferencePath "${CERTS}\q.der" $5
  !insertmacro KestrineResult "p gone: counters a $1, c $2, certificates $3, path p $4, path q $5"
  Kestrine::UnInstallQLNCertFromFile "${CERTS}\q.der"
  Pop $0
  !insertmacro KestrineResult "uninstall q: $0"
  !insertmacro ReferenceCounter "Ref: 0a 1b 2c" $1
  !insertmacro ReferenceCounter "Ref: 3d 4e 5f" $2
  !insertmacro CertificateNames $3
  !insertmacro ReferenceKeyExists $4
  !insertmacro KestrineResult "q gone: counters a $1, c $2, certificates $3, reference key $4"
  !insertmacro CertificatesClean
