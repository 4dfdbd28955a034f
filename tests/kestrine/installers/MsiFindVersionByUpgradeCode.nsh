; A product registered for the machine as the installer database keeps it
; (upgrade code, product, install properties in the 64-bit view) is found by
; its upgrade code. Wine takes a malformed code for an unknown one.
;expect registered: 4.2.17
;expect unknown upgrade code: error: Not found
;expect product unknown to the database: error: Could not get version
;expect malformed code: error: Not found
;expect stack: first
; {3D5C7E9A-1B2C-4D3E-8F40-5A6B7C8D9E0F} and its product
; {A1B2C3D4-E5F6-4A7B-8C9D-0E1F2A3B4C5D}, packed as the database writes them;
; {5E6F7A8B-9C0D-4E1F-A2B3-C4D5E6F7A8B9} lists a product nothing registered.
!define UPGRADE_KEY "Software\Microsoft\Windows\CurrentVersion\Installer\UpgradeCodes\A9E7C5D3C2B1E3D4F804A5B6C7D8E9F0"
!define LONELY_KEY "Software\Microsoft\Windows\CurrentVersion\Installer\UpgradeCodes\B8A7F6E5D0C9F1E42A3B4C5D6E7F8A9B"
!define PRODUCT_KEY "Software\Classes\Installer\Products\4D3C2B1A6F5EB7A4C8D9E0F1A2B3C4D5"
!define USERDATA_KEY "Software\Microsoft\Windows\CurrentVersion\Installer\UserData\S-1-5-18\Products\4D3C2B1A6F5EB7A4C8D9E0F1A2B3C4D5"

!macro KestrineSweepProducts
  SetRegView 64
  DeleteRegKey HKLM "${UPGRADE_KEY}"
  DeleteRegKey HKLM "${LONELY_KEY}"
  DeleteRegKey HKLM "${PRODUCT_KEY}"
  DeleteRegKey HKLM "${USERDATA_KEY}"
  SetRegView 32
!macroend

  !insertmacro KestrineSweepProducts
  SetRegView 64
  WriteRegStr HKLM "${UPGRADE_KEY}" "4D3C2B1A6F5EB7A4C8D9E0F1A2B3C4D5" ""
  WriteRegStr HKLM "${PRODUCT_KEY}" "ProductName" "Kestrine scenario product"
  WriteRegStr HKLM "${USERDATA_KEY}\InstallProperties" "DisplayVersion" "4.2.17"
  WriteRegStr HKLM "${LONELY_KEY}" "C3D2E1F0A5B486947867564534231201" ""
  SetRegView 32
  Push "first"

  Kestrine::MsiFindVersionByUpgradeCode "{3D5C7E9A-1B2C-4D3E-8F40-5A6B7C8D9E0F}"
  Pop $0
  !insertmacro KestrineResult "registered: $0"
  Kestrine::MsiFindVersionByUpgradeCode "{00000000-1111-4222-8333-444444444444}"
  Pop $0
  !insertmacro KestrineResult "unknown upgrade code: $0"
  Kestrine::MsiFindVersionByUpgradeCode "{5E6F7A8B-9C0D-4E1F-A2B3-C4D5E6F7A8B9}"
  Pop $0
  !insertmacro KestrineResult "product unknown to the database: $0"
  Kestrine::MsiFindVersionByUpgradeCode "not-a-guid"
  Pop $0
  !insertmacro KestrineResult "malformed code: $0"
  !insertmacro KestrineSweepProducts
