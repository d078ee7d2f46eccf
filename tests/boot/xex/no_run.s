; No RUNAD and no INIT: the loader starts the first segment.
        .include "xex.inc"

        .word   $FFFF
        SEGMENT $2400, main_end - 1
main:   lda     #'N'
        sta     $0600
halt:   jmp     halt
main_end:
        END_SEGMENT

        SEGMENT $5000, $5003
        .byte   $DE, $AD, $BE, $EF
        END_SEGMENT
