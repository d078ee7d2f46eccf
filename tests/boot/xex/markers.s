; $FF $FF markers before segments: at the start, between segments, twice in a row,
; and once more at the very end of the file.
        .include "xex.inc"

        .word   $FFFF
        SEGMENT $4000, $4003
        .byte   $01, $02, $03, $04
        END_SEGMENT

        .word   $FFFF
        SEGMENT $4100, $4101
        .byte   $05, $06
        END_SEGMENT

        .word   $FFFF, $FFFF
        SEGMENT $4200, main_end - 1
main:   lda     #'M'
        sta     $0600
halt:   jmp     halt
main_end:
        END_SEGMENT

        .word   $FFFF
        RUN_AT  main
        .word   $FFFF
