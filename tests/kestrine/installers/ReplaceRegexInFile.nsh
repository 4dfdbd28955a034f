; The first match is replaced by the literal text and the file rewritten;
; all else stays. An invalid pattern is refused before the file is opened, a
; file with a NUL byte or of 64 KiB is left whole, and a 60,000-character
; text is matched without a crash. A pattern or replacement with a character
; above U+00FF is refused and the file left as it was.
;expect version: Success name=App|version=2.0.0|key=old old|
;expect match after an equal text: Success name=old|key=new|
;expect invalid pattern: invalid pattern name=old|key=new|
;expect no match: no match name=old|key=new|
;expect Cyrillic pattern: invalid pattern name=old|key=new|
;expect Cyrillic replacement: Could not overwrite file name=old|key=new|
;expect missing file: Error opening file
;expect NUL byte: Error reading file 5
;expect 64 KiB: Error reading file 65536
;expect 60,000 characters: Success X|
;expect stack: first
Var /GLOBAL text
Var /GLOBAL size
Var /GLOBAL chunk
Var /GLOBAL count
!define TARGET "$EXEDIR\target.txt"

; The file's lines without their line ends, each followed by "|".
!macro KestrineFileLines OUT
  !define /redef KFL ${__COUNTER__}
  StrCpy ${OUT} ""
  FileOpen $R1 "${TARGET}" r
  kfl_loop_${KFL}:
    ClearErrors
    FileRead $R1 $R2
    IfErrors kfl_done_${KFL}
    StrCpy $R3 $R2 2 -2
    StrCmp $R3 "$\r$\n" 0 +2
    StrCpy $R2 $R2 -2
    StrCpy ${OUT} "${OUT}$R2|"
    Goto kfl_loop_${KFL}
  kfl_done_${KFL}:
  FileClose $R1
!macroend

!macro KestrineFileSize OUT
  FileOpen $R1 "${TARGET}" r
  FileSeek $R1 0 END ${OUT}
  FileClose $R1
!macroend

  Push "first"
  FileOpen $1 "${TARGET}" w
  FileWrite $1 "name=App$\r$\nversion=1.0.3$\r$\nkey=old old$\r$\n"
  FileClose $1
  Kestrine::ReplaceRegexInFile "${TARGET}" "2.0.0" "\d+\.\d+\.\d+"
  Pop $0
  !insertmacro KestrineFileLines $text
  !insertmacro KestrineResult "version: $0 $text"

  FileOpen $1 "${TARGET}" w
  FileWrite $1 "name=old$\r$\nkey=old$\r$\n"
  FileClose $1
  Kestrine::ReplaceRegexInFile "${TARGET}" "new" "(?<=key=)old"
  Pop $0
  !insertmacro KestrineFileLines $text
  !insertmacro KestrineResult "match after an equal text: $0 $text"

  Kestrine::ReplaceRegexInFile "${TARGET}" "x" "(old"
  Pop $0
  !insertmacro KestrineFileLines $text
  !insertmacro KestrineResult "invalid pattern: $0 $text"

  Kestrine::ReplaceRegexInFile "${TARGET}" "x" "zzz"
  Pop $0
  !insertmacro KestrineFileLines $text
  !insertmacro KestrineResult "no match: $0 $text"

  Kestrine::ReplaceRegexInFile "${TARGET}" "x" "${U+0416}"
  Pop $0
  !insertmacro KestrineFileLines $text
  !insertmacro KestrineResult "Cyrillic pattern: $0 $text"

  Kestrine::ReplaceRegexInFile "${TARGET}" "w${U+00F6}rld ${U+0416}" "new"
  Pop $0
  !insertmacro KestrineFileLines $text
  !insertmacro KestrineResult "Cyrillic replacement: $0 $text"

  Kestrine::ReplaceRegexInFile "$EXEDIR\no-such-file.txt" "x" "a"
  Pop $0
  !insertmacro KestrineResult "missing file: $0"

  FileOpen $1 "${TARGET}" w
  FileWrite $1 "ab"
  FileWriteByte $1 "0"
  FileWrite $1 "cd"
  FileClose $1
  Kestrine::ReplaceRegexInFile "${TARGET}" "x" "cd"
  Pop $0
  !insertmacro KestrineFileSize $size
  !insertmacro KestrineResult "NUL byte: $0 $size"

  ; 128 blocks of 512 bytes.
  StrCpy $chunk "a"
  StrCpy $count 0
  double_chunk:
    StrCpy $chunk "$chunk$chunk"
    IntOp $count $count + 1
    IntCmp $count 9 0 double_chunk
  FileOpen $1 "${TARGET}" w
  StrCpy $count 0
  write_64k:
    FileWrite $1 $chunk
    IntOp $count $count + 1
    IntCmp $count 128 0 write_64k
  FileClose $1
  Kestrine::ReplaceRegexInFile "${TARGET}" "b" "a"
  Pop $0
  !insertmacro KestrineFileSize $size
  !insertmacro KestrineResult "64 KiB: $0 $size"

  ; 120 blocks of 250 "ab" pairs.
  StrCpy $chunk ""
  StrCpy $2 "ab"
  StrCpy $count 0
  build_pairs:
    StrCpy $chunk "$chunk$2"
    IntOp $count $count + 1
    IntCmp $count 250 0 build_pairs
  FileOpen $1 "${TARGET}" w
  StrCpy $count 0
  write_pairs:
    FileWrite $1 $chunk
    IntOp $count $count + 1
    IntCmp $count 120 0 write_pairs
  FileClose $1
  Kestrine::ReplaceRegexInFile "${TARGET}" "X" "(a|b)*b"
  Pop $0
  !insertmacro KestrineFileLines $text
  !insertmacro KestrineResult "60,000 characters: $0 $text"
