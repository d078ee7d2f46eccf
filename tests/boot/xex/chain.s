; $FF $FF markers, INIT routines that wreck the device control block and the DOS
; scratch bytes or leave the machine spoiled (decimal mode, IRQs off, a pattern in the
; user zero page), a data segment without INIT, and a last segment setting RUNAD and
; INITAD together. Each routine appends a letter to the trace at $0680 (count), $0681...
; The last INIT and RUN check the hand-over (as after a DOS 2 load), counting faults at
; $0600; RUN shows "HANDOVER PASS" or "HANDOVER FAIL" in row 0 of the screen.
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
.macro  EXPECT address, value           ; one fault when the byte differs
        lda     address
        cmp     #value
        beq     :+
        inc     $0600
:
.endmacro
        .word   $FFFF, $FFFF
        SEGMENT $0680, $0680
        .byte   0
        SEGMENT $3000, a_end - 1
init_a: TRACE   'A'
        ldx     #$7F
@fill:  txa
        sta     $80,x                   ; $80-$FF: their own addresses
        dex
        bpl     @fill
        ldx     #$0B
        lda     #$FF
@wreck: sta     $0300,x
        sta     $43,x
        dex
        bpl     @wreck
        sed
        sei
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
init_c: jsr     check
        TRACE   'C'
        rts
run:    jsr     check
        TRACE   'R'
        ldx     #pass - texts
        lda     $0600
        beq     @show
        ldx     #fail - texts
@show:  ldy     #0
@put:   lda     texts,x
        beq     halt
        sec
        sbc     #$20                    ; ATASCII -> screen code
        sta     ($58),y                 ; SAVMSC
        inx
        iny
        bne     @put
halt:   jmp     halt
check:  php                             ; A = 0, X = 0, Y = 1, D and I clear
        sta     $0601
        stx     $0602
        sty     $0603
        pla
        and     #$0C
        sta     $0604
        EXPECT  $0601, 0
        EXPECT  $0602, 0
        EXPECT  $0603, 1
        EXPECT  $0604, 0
        EXPECT  $0A, $77                ; DOSVEC: cold start
        EXPECT  $0B, $E4
        EXPECT  $0244, 0                ; COLDST
        EXPECT  $09, 1                  ; BOOT?
        EXPECT  $42, 0                  ; CRITIC
        EXPECT  $0350, $FF              ; IOCB 1 closed
        ldy     #0
        lda     ($0C),y                 ; DOSINI -> RTS
        cmp     #$60
        beq     :+
        inc     $0600
:       ldx     #$7F                    ; the user zero page as the first INIT left it
@zp:    txa
        cmp     $80,x
        beq     :+
        inc     $0600
:       dex
        bpl     @zp
        rts
texts:
pass:   .byte   "HANDOVER PASS", 0
fail:   .byte   "HANDOVER FAIL", 0
end:    .reloc
        .word   $02E0, $02E3, run, init_c
