; INIT segments between data segments, an INIT routine that wrecks the device control
; block and the DOS scratch bytes in zero page, a segment without INIT, and a last
; segment that sets RUNAD and INITAD together.
        .include "xex.inc"

        .word   $FFFF
        SEGMENT TRACE_COUNT, TRACE_COUNT    ; the trace starts empty
        .byte   0
        END_SEGMENT

        SEGMENT $3000, init_a_end - 1
init_a: TRACE_CHAR 'A'
        ldx     #$0B                        ; every field of the device control block
        lda     #$FF
@dcb:   sta     DDEVIC,x
        dex
        bpl     @dcb
        ldx     #$49 - $43                  ; and the DOS scratch bytes
@zp:    sta     $43,x
        dex
        bpl     @zp
        rts
init_a_end:
        END_SEGMENT
        INIT_AT init_a

        SEGMENT $3100, init_b_end - 1
init_b: TRACE_CHAR 'B'
        lda     #$00                        ; a device control block set up for a write
        sta     DDEVIC + 3
        lda     #$57
        sta     DDEVIC + 2
        rts
init_b_end:
        END_SEGMENT
        INIT_AT init_b

        SEGMENT $3200, $320F                ; data only: INITAD stays at its RTS
        .byte   $10, $11, $12, $13, $14, $15, $16, $17
        .byte   $18, $19, $1A, $1B, $1C, $1D, $1E, $1F
        END_SEGMENT

        SEGMENT $3300, code_end - 1
init_c: TRACE_CHAR 'C'
        rts
run:    TRACE_CHAR 'R'
halt:   jmp     halt
code_end:
        END_SEGMENT

        .word   RUNAD, INITAD + 1, run, init_c
