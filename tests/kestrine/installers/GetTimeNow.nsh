; The current time in seconds since 1970 lands on top; the parameters given
; to the call stay where they were, "first" on top of "second".
;expect ~stack: [1-9][0-9]{9}
;expect stack: first
;expect stack: second
  Kestrine::GetTimeNow "first" "second"
