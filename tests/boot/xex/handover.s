; The machine at INIT and RUN as after a DOS 2 binary load. The first INIT leaves it
; spoiled (decimal mode, IRQs off, a pattern in the user zero page); the second INIT
; and RUN check the hand-over and count faults at $0600; RUN shows "HANDOVER PASS"
; or "HANDOVER FAIL" in row 0 of the screen and halts.
.macro  SEGMENT first, last
        .word   first, last
        .org    first
.endmacro
.macro  EXPECT address, value           ; one fault when the byte differs
        lda     address
        cmp     #value
        beq     :+
        inc     $0600
:
.endmacro
        .word   $FFFF
        SEGMENT $2000, spoil_end - 1
spoil:  ldx     #$7F
@fill:  txa
        sta     $80,x                   ; $80-$FF: their own addresses
        dex
        bpl     @fill
        sed
        sei
        rts
spoil_end:
        .word   $02E2, $02E3, spoil
        SEGMENT $2100, check_end - 1
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
        ldy     #0                      ; (and Y = 0 on return)
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
check_end:
        .word   $02E2, $02E3, check
        SEGMENT $2200, run_end - 1
run:    jsr     check
        ldx     #pass - texts
        lda     $0600
        beq     @put
        ldx     #fail - texts
@put:   lda     texts,x
        beq     halt
        sec
        sbc     #$20                    ; ATASCII -> screen code
        sta     ($58),y                 ; Y = 0 from check
        inx
        iny
        bne     @put
halt:   jmp     halt
texts:
pass:   .byte   "HANDOVER PASS", 0
fail:   .byte   "HANDOVER FAIL", 0
run_end:
        .word   $02E0, $02E1, run
