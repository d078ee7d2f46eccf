; A good segment with its INIT, then a segment of 256 bytes of which only 40 are in
; the file.
        .include "xex.inc"

        .word   $FFFF
        SEGMENT $2000, init_end - 1
init:   lda     #'T'
        sta     $0600
        rts
init_end:
        END_SEGMENT
        INIT_AT init

        .word   $3000, $30FF
        .repeat 40, i
        .byte   $80 + i
        .endrepeat
