; An INIT routine does all the work and returns; the file sets no RUNAD.
        .include "xex.inc"

        .word   $FFFF
        SEGMENT $2800, init_end - 1
init:   lda     #'I'
        sta     $0600
        rts
init_end:
        END_SEGMENT
        INIT_AT init
