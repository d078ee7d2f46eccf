; One segment holding the program, started through RUNAD; it leaves a signature at
; $0600 and stays in a loop.
        .include "xex.inc"

        .word   $FFFF
        SEGMENT $2000, main_end - 1
main:   ldx     #signature_end - signature - 1
@copy:  lda     signature,x
        sta     $0600,x
        dex
        bpl     @copy
halt:   jmp     halt
signature:
        .byte   "SINGLE"
signature_end:
main_end:
        END_SEGMENT
        RUN_AT  main
