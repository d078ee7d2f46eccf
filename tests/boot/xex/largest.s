; The largest file the template takes: FILE_BYTES (free sectors x 125) bytes, given
; on the command line. Two 40 kB segments fill $2000-$BFFF (so BASIC must be off),
; an INIT between them copies the first page of the first one to $1F00, a filler
; segment at $4000 makes up the size, and RUN leaves a signature at $1D00.
        .include "xex.inc"

PATTERN_A = 7                               ; byte i of segment A = <(i * 7 + i / 256)
PATTERN_B = 13                              ; byte i of segment B = <(i * 13 + i / 256)
SPAN      = $A000                           ; $2000-$BFFF
FIXED     = 2 + (4 + SPAN) * 2 + (4 + code_end - code) + 6 + 6 + 4

        .word   $FFFF
        SEGMENT $1E00, code_end - 1
code:
copy_a: ldx     #0                          ; INIT: keep page $20 of segment A
@copy:  lda     $2000,x
        sta     $1F00,x
        inx
        bne     @copy
        rts
run:    lda     #'L'
        sta     $1D00
        lda     #'G'
        sta     $1D01
halt:   jmp     halt
code_end:
        END_SEGMENT

        .word   $2000, $BFFF
        .repeat SPAN, i
        .byte   <(i * PATTERN_A + i / 256)
        .endrepeat
        INIT_AT copy_a

        .word   $2000, $BFFF
        .repeat SPAN, i
        .byte   <(i * PATTERN_B + i / 256)
        .endrepeat

        .word   $4000, $4000 + FILE_BYTES - FIXED - 1
        .repeat FILE_BYTES - FIXED, i
        .byte   <(i + $40)
        .endrepeat
        RUN_AT  run
