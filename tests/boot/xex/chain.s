; $FF $FF markers, INIT routines that wreck the device control block and the DOS
; scratch bytes, a data segment without INIT, and a last segment setting RUNAD and
; INITAD together. Each routine appends a letter to the trace at $0680 (count), $0681...
.macro  SEGMENT first, last
        .word   first, last
        .org    first
.endmacro
.macro  TRACE char
        ldx     $0680
        lda     #char
        sta     $0681,x
        inc     $0680
.endmacro
        .word   $FFFF, $FFFF
        SEGMENT $0680, $0680
        .byte   0
        SEGMENT $3000, a_end - 1
init_a: TRACE   'A'
        ldx     #$0B
        lda     #$FF
@wreck: sta     $0300,x
        sta     $43,x
        dex
        bpl     @wreck
        rts
a_end:  .word   $02E2, $02E3, init_a, $FFFF
        SEGMENT $3100, b_end - 1
init_b: TRACE   'B'
        lda     #'W'                    ; a block set up for a write
        sta     $0302
        rts
b_end:  .word   $02E2, $02E3, init_b, $FFFF, $FFFF
        SEGMENT $3200, $3203
        .byte   $10, $11, $12, $13
        SEGMENT $3300, end - 1
init_c: TRACE   'C'
        rts
run:    TRACE   'R'
        ldy     #end - text - 1
@show:  lda     text,y
        sec
        sbc     #$20                    ; ATASCII -> screen code
        sta     ($58),y                 ; SAVMSC
        dey
        bpl     @show
halt:   jmp     halt
text:   .byte   "KELDRIX RUN OK"
end:    .reloc
        .word   $02E0, $02E3, run, init_c
