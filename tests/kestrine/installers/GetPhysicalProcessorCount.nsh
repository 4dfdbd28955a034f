; The logical processor count in decimal on top; nothing is popped.
;expect ~stack: [1-9][0-9]*
;expect stack: first
;expect stack: second
  Kestrine::GetPhysicalProcessorCount "first" "second"
