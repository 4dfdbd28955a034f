; The language follows the environment's locale.
;env LC_ALL=de_DE.UTF-8
;expect stack: 0x0407
  Kestrine::GetVistaPreferredUILanguage
