; A good segment with its INIT, then a segment that would land on the boot loader.
        .include "xex.inc"

        .word   $FFFF
        SEGMENT $2000, init_end - 1
init:   lda     #'O'
        sta     $0600
        rts
init_end:
        END_SEGMENT
        INIT_AT init

        SEGMENT $0800, $080F
        .res    16, $EA
        END_SEGMENT
        RUN_AT  $2000
