; Under the English locale the first preferred UI language is 0409.
;env LC_ALL=en_US.UTF-8
;expect stack: 0x0409
;expect stack: first
;expect stack: second
  Kestrine::GetVistaPreferredUILanguage "first" "second"
