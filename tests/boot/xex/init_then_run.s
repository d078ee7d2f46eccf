; The INIT routine prepares and returns; the RUN routine checks that it did, then
; writes a signature to memory and to the screen, and stays there.
        .include "xex.inc"

        .word   $FFFF
        SEGMENT $2000, code_end - 1
init:   lda     #$11
        sta     $0600
        rts
run:    lda     $0600
        cmp     #$11
        bne     halt                        ; INIT did not run first: no signature
        ldy     #signature_end - signature - 1
@copy:  lda     signature,y
        sta     $0610,y
        sec
        sbc     #$20                        ; ATASCII -> screen code
        sta     (SAVMSC),y
        dey
        bpl     @copy
halt:   jmp     halt
signature:
        .byte   "KELDRIX RUN OK"
signature_end:
code_end:
        END_SEGMENT
        INIT_AT init
        RUN_AT  run
