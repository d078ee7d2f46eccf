; KELDRIX boot loader: boots a DOS 2 style disk without DOS: single density, DOS 2.5
; enhanced density, double density, and the MyDOS format for large disks.
;
; Two parts, so that the disk passes a DOS 2 file-system check: the first, in the
; three boot sectors DOS 2 keeps for booting, reads the second from the locked file
; KELDRIX.SYS (first sector 4; directory entry 0 on the template, 1 on the larger
; disks), whose sectors are linked and marked used like those of any file. The OS
; reads the boot sectors to $0700, points DOSINI at the cold start (from the boot
; header) and calls $0706. The loader then
;   1. keeps the registers for the program, and makes RESET restart the machine
;      (BOOT? = 1 and COLDST = 0: a warm start, which calls DOSINI),
;   2. reads its second part to $0880 and goes on there,
;   3. switches the XL/XE built-in BASIC off,
;   4. looks up AUTORUN.SYS in the directory, sectors 361-368,
;   5. follows the file's sector chain and binary-loads it with DOS 2's rules for
;      INITAD and RUNAD; a file that ends inside a segment loads what is there and
;      ends as if the file ended before that segment,
;   6. clears its own pages and runs the file, or starts the machine again when the
;      file's INIT routines did all the work.
; Any failure puts a message on the screen and halts; RESET then restarts.
;
; The disk: sectors 1-3 hold 128 bytes on every disk; the others hold 128 or 256, as
; the disk parameters at the end of the third boot sector say (the converter sets
; them for each disk it lays out). A data sector of S bytes ends in three link
; bytes: S-3 the file number << 2 | next sector bits 9-8 (DOS 2 links), or next
; sector bits 15-8 (16-bit links, which carry no file number); S-2 next sector bits
; 7-0; S-1 the number of data bytes (at most S-3).
;
; Where it lives: the converter may move the loader from $0700 to other whole pages (for
; a file that loads into $0700-$0AFF): every address below is relative to boot_header,
; and the converter adds the page offset to the high bytes of those addresses, whose
; places it knows from the loader assembled at $0700 and at $0800.
;
; Memory: the loader's pages are $0700-$0AFF (LOADER_PAGES): the boot sectors, the
; second part from $0880, and the 256-byte sector buffer at $0A00. The buffer lies
; over the end of the second part, which holds only start-up code that has run
; before the first directory read (while the first part copies the second part in,
; each byte goes below the buffer byte it comes from). The variables lie over the
; boot header and the first part's start-up code, neither of which is needed once
; the second part runs. A file made to load under DOS 2 (which lives at $0700-$1CFB)
; never touches these pages. Zero page: nothing while loading; the error message
; uses SAVMSC.
;
; The hand-over. A program is handed the machine as the emulators' direct XEX loads
; hand it over: they boot a one-sector boot program that loads the file and jumps to
; RUN with the registers and stack the OS called it with. Booted both ways, real
; programs differed where they depend on the registers at RUN (256-byte intros that
; count with X: with X = 0 some draw nothing, with X as SIO leaves it some crash) or
; on the frame counter at RUN, which only a load as quick as a direct one can share.
;   - RUN: A, Y and P as the OS called $0706 with them (A = $07, the load address's
;     high byte, Y = $FF and P = $30 with the OS the emulators ship), and
;     X = $0C, the offset of DOSINI, which the OS's boot leaves in X after a single
;     boot sector (after three, X is what the reads left); or the registers as the
;     last INIT returned them. The stack pointer is the one the OS called $0706 with,
;     so that RTS returns to the OS's boot, which then goes through DOSINI. The call
;     is a jump from a copy of the loader's last steps in the stack page, RUN_GAP
;     bytes below the stack (where interrupts push: bytes a program must expect to
;     be garbage), after the loader cleared its pages: $0700-$0AFF hold the zeros
;     the OS cleared memory with at power-up, MEMLO is the OS's $0700 again;
;   - INIT: the registers as for RUN, carry set, as a direct load calls INIT; the
;     call is a JSR from the loader, whose pages stay (MEMLO just above them while
;     loading, so that an INIT that takes memory from MEMLO leaves the loader alone);
;     after the INIT the loader clears decimal mode and enables interrupts for its
;     own work (SIO needs them);
;   - zero page untouched by the loader; SIO's own locations ($30-$3F, the device
;     control block $0300-$030B) as the last sector read left them, as after any
;     disk boot; $0400-$047F holds sector 1 as the OS read it;
;   - page 2-3: DOSINI -> the cold start ($E477), as a direct load's boot sector
;     sets it, DOSVEC as the OS set it, COLDST = 0 and BOOT? = 1 (RESET boots the
;     disk again), IOCBs 1-7 closed as the OS left them (the file is read through
;     SIO, no IOCB is opened), IOCB 0 the screen editor as the OS opened it, CRITIC
;     0 (SIO clears it after each transfer);
;   - POKEY as the last sector read left it (SIO sets channels 3 and 4 and AUDCTL
;     up for the serial clock), as after a direct load, whose boot sector is read
;     the same way; the loader writes no sound register: clearing them at RUN undid
;     what a program's INIT had set up there, and changed a demo's screen;
;   - display: the OS's text screen, reopened below $C000 when BASIC was switched off.


        .include "atari_os.inc"

DIR_FIRST       = 361           ; first directory sector
DIR_LAST        = 368           ; last directory sector
ENTRY_SIZE      = 16            ; bytes per directory entry
ENTRY_SECTOR    = 3             ; entry bytes 3-4: first data sector
ENTRY_NAME      = 5             ; entry bytes 5-15: name and extension
NAME_LENGTH     = 11
FLAG_IN_USE     = $40
FLAG_DOS2       = $02
MAX_DATA        = 125           ; data bytes a single-density sector can hold
LOADER_PAGES    = 4             ; $0700-$0AFF: code, sector buffer, variables
RUN_GAP         = 32            ; stack bytes left to interrupts below the stack
RETRIES         = 4             ; reads tried before a sector counts as unreadable
BOOT_SECTORS    = 3             ; the first part: sectors 1-3, $0700-$087F
LOADER_SECTOR   = 4             ; first sector of KELDRIX.SYS, the second part
SECTOR_BYTES    = 128           ; the template's sectors
SIXTEEN_BIT     = $80           ; link_format: 16-bit links without file numbers
TIMEOUT         = 7             ; seconds for the drive to answer
DEVICE_DISK     = $31
READ_COMMAND    = 'R'
DATA_IN         = $40           ; DSTATS: data flows to the computer
BIT_ABSOLUTE    = $2C           ; BIT abs: an opcode that skips two bytes (an LDX #)
OS_MEMLO        = $0700         ; MEMLO as the OS sets it, wherever the loader lives
SCREEN_COLUMN   = 2             ; the message starts at the left margin of row 0

        .segment "BOOT"

; --- boot header: the OS reads these six bytes from sector 1 ----------------
boot_header:
        .byte   $00                                     ; boot flags
        .byte   BOOT_SECTORS
        .word   boot_header                             ; load address
        .word   COLDSV                                  ; DOSINI

; --- entry: the OS calls here ($0706) with all boot sectors in memory -------
entry:
        php                             ; the registers for the program, on the
        pha                             ; stack under the loader's own calls,
        lda     #DOSINI                 ; pulled back in the order Y, X, A, P:
        pha                             ; P, A and Y as the OS calls the boot
        tya                             ; sectors, X as after a one-sector boot
        pha                             ; (see the top of this file)
        ; RESET from now on: the OS calls DOSINI, the cold start (taken from the
        ; boot header): the disk boots again.
        ldx     #1
        stx     BOOTQ                   ; RESET calls DOSINI ...
        dex
        stx     COLDST                  ; ... on a warm start

        ; Read KELDRIX.SYS to part_two: its chain starts at LOADER_SECTOR, which
        ; `sector` holds, and its links carry the file number file_number holds.
        stx     buffer_pos
        stx     buffer_count
@next:  jsr     get_byte
        bcc     @store
        jmp     main
@store: sta     part_two                ; (address stepped below)
        inc     @store+1
        bne     @next
        inc     @store+2
        bne     @next                   ; always taken
; --- read one sector into the buffer ----------------------------------------
; In: sector. Retries a few times, then reports a read error and halts.
read_sector:
        lda     #RETRIES
        sta     tries
@again: ldx     #DAUX2 - DDEVIC         ; fill in the whole device control
@fill:  lda     dcb,x                   ; block, sector number included: an
        sta     DDEVIC,x                ; INIT routine may have changed any of it
        dex
        bpl     @fill
        jsr     SIOV
        tya                             ; status: 1 = done, negative = error
        bpl     @done
        dec     tries
        bne     @again
        ldx     #msg_read - messages
        jmp     fail
@done:  rts

; --- next byte of the file --------------------------------------------------
; Out: carry clear and A = byte, or carry set at the end of the file.
; Follows the sector chain; a sector of another file or a byte count above the
; sector's data bytes is reported and halts.
get_byte:
        ldx     buffer_pos
        cpx     buffer_count
        bcc     @have
        lda     sector                  ; sector used up: follow the link
        ora     sector+1
        bne     @link
        sec                             ; next sector 0: end of the file
        rts
@link:  jsr     read_sector
        ldy     link_at                 ; Y = sector size - 3: the link bytes
        lda     buffer+2,y
        sta     buffer_count
        cpy     buffer_count
        bcc     @bad_count              ; more data bytes than the sector holds
        lda     buffer+1,y
        sta     sector                  ; the link names the next sector
        lda     buffer,y
        bit     link_format
        bmi     @high                   ; 16-bit links: the high byte whole
        lsr     a
        lsr     a
        cmp     file_number
        bne     @other_file
        lda     buffer,y
        and     #%00000011
@high:  sta     sector+1
        ldx     #0                      ; the data from the sector's first byte;
        cpx     buffer_count            ; a sector may hold none at all: then
        bcs     get_byte                ; on to the next, as any buffer_pos is
@have:  lda     buffer,x                ; at its end
        inx
        stx     buffer_pos
        clc
        rts
@other_file:
        ldx     #msg_file_number - messages
        jmp     fail
@bad_count:
        ldx     #msg_link - messages
        jmp     fail


; The next byte of a segment's header. The end of the file here ends the load as
; if the file ended before this segment: its caller's return address is dropped.
segment_byte:
        jsr     get_byte
        bcs     @end
        rts
@end:   pla
        pla
        jmp     load_done

do_nothing:                             ; "not set" for INITAD and RUNAD
        rts

call_init:
        jmp     (INITAD)

; X = 0 for RUNAD, INITAD - RUNAD for INITAD: points the vector at an RTS,
; which stands for "not set".
clear_vector:
        lda     #<do_nothing
        sta     RUNAD,x
        lda     #>do_nothing
        sta     RUNAD+1,x
        rts

; X as above: Z clear when a segment has set the vector.
vector_set:
        lda     RUNAD,x
        cmp     #<do_nothing
        bne     @done
        lda     RUNAD+1,x
        cmp     #>do_nothing
@done:  rts

; --- report a failure on the screen and halt --------------------------------
; In: X = offset of the message in `messages`. Writes "BOOT ERROR: " and the
; message to row 0 of the screen (blank since the OS or the loader opened it).
fail:   txa
        pha
        ldx     #msg_prefix - messages
        ldy     #SCREEN_COLUMN
        jsr     put_text
        pla
        tax
        jsr     put_text
halt:   jmp     halt                    ; RESET restarts the machine

; Writes the message at X to screen row 0 from column Y; returns the next column.
put_text:
        lda     messages,x
        beq     @done
        sec
        sbc     #$20                    ; ATASCII $20-$5F -> screen code $00-$3F
        sta     (SAVMSC),y
        inx
        iny
        bne     put_text
@done:  rts

messages:
msg_prefix:      .byte  "BOOT ERROR: ", 0
msg_missing:     .byte  "NO AUTORUN.SYS", 0
msg_read:        .byte  "DISK READ ERROR", 0
msg_not_binary:  .byte  "NOT A BINARY FILE", 0
msg_header:      .byte  "BAD HEADER", 0
msg_overlap:     .byte  "SEGMENT OVER LOADER", 0
msg_file_number: .byte  "WRONG FILE NUMBER", 0
msg_link:        .byte  "BAD SECTOR LINK", 0

; --- the disk parameters: the last bytes of the third boot sector -----------
; The converter sets them for each disk it lays out, at these fixed places; the
; values here are the template's (single density, DOS 2 links).
        .segment "PARAMS"
link_at:        .byte   SECTOR_BYTES - 3 ; $0871: where the link bytes begin
link_format:    .byte   0               ; $0872: $00 DOS 2 links, or SIXTEEN_BIT
file_number:    .byte   0               ; $0873: KELDRIX.SYS's directory index, the
                                        ; file number its links carry (later that
                                        ; of AUTORUN.SYS)
; The device control block as a read needs it, $0300-$030B; its byte count, at
; $087C, is the disk's sector size (the loader never reads sectors 1-3).
dcb:    .byte   DEVICE_DISK, 1, READ_COMMAND, DATA_IN
        .word   buffer
        .byte   TIMEOUT, 0
        .word   SECTOR_BYTES
sector: .word   LOADER_SECTOR           ; DAUX1/2: the sector to read next
        .assert link_at = boot_header + $171 && dcb + 8 = boot_header + $17C && sector + 2 = boot_header + $180, error, "disk parameters moved"

; --- the second part: KELDRIX.SYS, read to $0880 by the first ----------------
        .segment "MAIN"
part_two:
; --- find AUTORUN.SYS in the directory --------------------------------------
; In: sector = first directory sector, file_number = 0 (from main).
; Out: sector = first data sector, file_number = directory index of the entry, and
; on to load_file. The entries lie in the first 128 bytes of a directory sector.
find_autorun:
@read:  jsr     read_sector
        ldx     #0                      ; X = offset of the entry in the sector
@entry: lda     buffer,x                ; entry flags
        beq     @missing                ; never used: the directory ends here
        bmi     @skip                   ; deleted
        lsr     a
        bcc     @closed
        and     #(FLAG_IN_USE | FLAG_DOS2) >> 1 ; open for output and not in use, but
        cmp     #FLAG_DOS2 >> 1         ; made by DOS 2 ($03): a DOS 2.5 file beyond
        bne     @skip                   ; sector 719 (DOS 2.0 then leaves it alone);
        beq     @file                   ; in use and still open: skipped
@closed:
        and     #FLAG_IN_USE >> 1
        beq     @skip                   ; not in use
@file:  stx     entry_offset
        ldy     #0
@name:  lda     buffer+ENTRY_NAME,x
        cmp     autorun_name,y
        bne     @other
        inx
        iny
        cpy     #NAME_LENGTH
        bne     @name
        ldx     entry_offset            ; found: its first data sector starts the chain
        lda     buffer+ENTRY_SECTOR,x
        sta     sector
        lda     buffer+ENTRY_SECTOR+1,x
        sta     sector+1
        jmp     load_file
@other: ldx     entry_offset
@skip:  inc     file_number             ; the file number counts every entry
        txa
        clc
        adc     #ENTRY_SIZE
        tax
        bpl     @entry                  ; eight entries: offsets 0 to 112
        inc     sector                  ; 361-368 share the high byte
        lda     sector
        cmp     #<(DIR_LAST + 1)
        bne     @read
@missing:
        ldx     #msg_missing - messages
        .byte   BIT_ABSOLUTE            ; skips the next LDX
; --- binary load ------------------------------------------------------------
not_binary:
        ldx     #msg_not_binary - messages
        jmp     fail

; One of the two $FF bytes a binary file starts with.
ff_byte:
        jsr     get_byte
        bcs     not_binary
        cmp     #$FF
        bne     not_binary
        rts

autorun_name:
        .byte   "AUTORUN SYS"

; The end of the file: RUN as DOS 2 does, else the first segment unless INITs did
; the work. The stack holds the registers for the next call (see entry), and
; nothing of the loader's above them.
load_done:
        ldx     #0                      ; did the file set RUNAD?
        jsr     vector_set
        bne     @run
        lda     init_called
        bne     finish                  ; INITs did the work: nothing to run
        lda     segments
        beq     finish                  ; nothing was loaded
        lda     first_start             ; no RUNAD: run the first segment
        sta     RUNAD
        lda     first_start+1
        sta     RUNAD+1
@run:   lda     #>OS_MEMLO              ; MEMLO back at the OS's $0700
        sta     MEMLO+1
        tsx                             ; the last steps run from the stack page,
        txa                             ; RUN_GAP bytes below the stack in use
        sec                             ; (interrupts push there), so that the
        sbc     #RUN_GAP + run_end - run_start - 1
        sta     @to                     ; loader's pages can be cleared
        ldx     #run_end - run_start - 1
@copy:  lda     run_image,x
        sta     $0100,x                 ; (low byte set above)
@to     = * - 2
        dex
        bpl     @copy
        jmp     (@to)                   ; X = $FF
        .assert <@to <> $FF, error, "JMP () would take the high byte from the wrong page"
finish: jmp     COLDSV                  ; nothing to run: the machine starts
                                        ; again, as the OS would through DOSINI

; Copied below the stack and run there (the code runs at any address): clears the
; loader's pages to the zeros the OS left in them, then hands over the registers
; and the stack pointer the OS booted the disk with (the program's RTS returns to
; the OS as from a one-sector boot program) and runs. Not at the bottom of the
; stack page: 256-byte programs load over zero page into it.
run_image:
        .org    $0100
run_start:
        inx                             ; X = 0
        txa                             ; A = 0
@clear:
        .repeat LOADER_PAGES, page
        sta     boot_header + page * $100,x
        .endrepeat
        inx
        bne     @clear
        pla
        tay
        pla
        tax
        pla
        plp
        jmp     (RUNAD)
run_end:
        .reloc

; The sector chain of AUTORUN.SYS is set up by find_autorun; buffer_pos and
; buffer_count are equal from the end of the first part's read.
load_file:
        ldx     #0                      ; RUNAD points at an RTS until a
        jsr     clear_vector            ; segment sets it
        jsr     ff_byte                 ; a binary file starts with $FF $FF
        jsr     ff_byte
segment:
        ldx     #INITAD - RUNAD         ; INITAD points at an RTS: only a
        jsr     clear_vector            ; segment that sets it gets an INIT call
@header:
        jsr     get_byte                ; start address, low byte
@ended: bcs     load_done               ; end of file between segments: done
        sta     seg_start
        jsr     segment_byte
        sta     seg_start+1
        and     seg_start
        cmp     #$FF
        beq     @header                 ; $FFFF is a marker: read the header again
        jsr     segment_byte            ; end address
        sta     seg_end
        jsr     segment_byte
        sta     seg_end+1

        lda     seg_end                 ; end below start: no valid segment
        cmp     seg_start
        lda     seg_end+1
        sbc     seg_start+1
        bcc     @bad_header

        lda     seg_end+1               ; ends below the loader's pages: fine
        cmp     #>boot_header           ; (both ends lie on page boundaries)
        bcc     @place
        lda     seg_start+1             ; starts above them: fine
        cmp     #>loader_end
        bcs     @place
        ldx     #msg_overlap - messages
        .byte   BIT_ABSOLUTE            ; skips the next LDX
@bad_header:
        ldx     #msg_header - messages
        jmp     fail

@place: lda     segments                ; remember where the first segment starts
        bne     @counted
        lda     seg_start
        sta     first_start
        lda     seg_start+1
        sta     first_start+1
        inc     segments
@counted:
        lda     seg_start               ; the store below writes from start ...
        sta     @store+1
        lda     seg_start+1
        sta     @store+2
@copy:  jsr     get_byte                ; the end of the file inside the data
        bcs     @ended                  ; ends the load as segment_byte does
@store: sta     $FFFF                   ; (address set above, stepped below)
        lda     @store+1                ; ... up to and including end
        cmp     seg_end
        bne     @step
        lda     @store+2
        cmp     seg_end+1
        beq     @loaded
@step:  inc     @store+1
        bne     @copy
        inc     @store+2
        bne     @copy                   ; always taken: end was not $FFFF

@loaded:
        ldx     #INITAD - RUNAD         ; did the segment set INITAD?
        jsr     vector_set
        beq     @next
        stx     init_called             ; an INIT has run (X is not 0)
        pla                             ; the registers as the OS booted the
        tay                             ; disk with them or the last INIT
        pla                             ; returned them
        tax
        pla
        plp
        sec                             ; carry set, as a direct load has it
        jsr     call_init
        php                             ; what the INIT returns goes to the next
        pha                             ; INIT or RUN
        txa
        pha
        tya
        pha
        cld                             ; the loader counts in binary and SIO
        cli                             ; needs interrupts
@next:  jmp     segment

; --- start-up, run once before the first directory read ---------------------
; From here on the code lies under the sector buffer.
main:
        ; While loading, memory below MEMLO belongs to the loader: the OS's MEMLO,
        ; $0700, moves up above the loader's pages.
        lda     #>loader_end
        sta     MEMLO+1
        lda     #0
        sta     file_number             ; the directory search counts from entry 0

        jsr     basic_off
        lda     #<DIR_FIRST             ; 361-368 share the high byte
        sta     sector
        lda     #>DIR_FIRST
        sta     sector+1
        jmp     find_autorun

; --- switch the XL/XE built-in BASIC off ------------------------------------
; Only an XL/XE drives PORTB bit 1 as an output (the BASIC ROM switch); on a
; 400/800 the port reads joysticks 3 and 4 and is left alone.
basic_off:
        lda     PBCTL
        tax                             ; X = PBCTL as the OS left it
        and     #%11111011              ; bit 2 clear: PORTB shows its direction
        sta     PBCTL
        lda     PORTB                   ; direction register, 1 = output
        stx     PBCTL                   ; PORTB is the data register again
        and     #%00000010
        beq     @done                   ; bit 1 is an input: no built-in BASIC
        lda     PORTB
        ora     #%00000010              ; bit 1 set: BASIC ROM off
        sta     PORTB
        lda     #1
        sta     BASICF                  ; and off again after RESET

        ; $A000 must be RAM now; a cartridge in the slot would still be ROM.
        lda     $A000
        tax
        eor     #$FF
        sta     $A000
        cmp     $A000
        stx     $A000                   ; put the old value back (flags kept)
        bne     @done                   ; still ROM: leave memory size alone
        lda     #0
        sta     TRAMSZ                  ; no cartridge to start after boot
        lda     RAMTOP
        cmp     #$C0
        beq     @done                   ; memory was already measured without BASIC
        lda     #$C0
        sta     RAMTOP

        ; Reopen the screen editor so its memory moves up below the new RAMTOP.
        ; The OS's own OPEN at power-up left the name "E:" (ICBAL, in ROM) and
        ; the mode (ICAX1, ICAX2) in IOCB 0, and CLOSE keeps them: the reopened
        ; IOCB is the one a program finds after a boot without the switch.
        ldx     #$00                    ; IOCB 0
        lda     #CIO_CLOSE
        sta     ICCOM
        jsr     CIOV
        ldx     #$00
        lda     #CIO_OPEN
        sta     ICCOM
        jsr     CIOV

        ; Wait for one vertical blank so the new display list is in use.
        lda     RTCLOK+2
@wait:  cmp     RTCLOK+2
        beq     @wait
@done:  rts


main_end:
; Four sectors of KELDRIX.SYS keep 703 sectors of the disk free.
        .assert main_end - part_two <= 4 * MAX_DATA, error, "KELDRIX.SYS takes more than four sectors"

; --- memory not on the disk -------------------------------------------------
buffer          = boot_header + $0300   ; the sector just read, up to 256 bytes
loader_end      = buffer + 256
        .assert main <= buffer, error, "code that runs after start-up lies under the buffer"
        .assert <boot_header = 0 && <loader_end = 0, error, "the loader does not fill whole pages"
        .assert loader_end <= boot_header + LOADER_PAGES * $100, error, "the loader outgrows the pages it clears"

; The variables: over the boot header, which the OS has read before it calls the
; loader, and over the first part's start-up code (entry), done before they are used.
; The two that must start at zero lie on the header's zero bytes: the boot flags and
; the load address's low byte.
segments        = boot_header           ; non-zero once a segment was placed
tries           = boot_header + 1
init_called     = boot_header + 2       ; non-zero once an INIT routine ran
buffer_pos      = boot_header + 3       ; next data byte in the buffer
buffer_count    = boot_header + 4       ; data bytes in the buffer
entry_offset    = boot_header + 5
seg_start       = entry
seg_end         = entry + 2
first_start     = entry + 4             ; start of the first segment
        .assert first_start + 2 <= read_sector, error, "the variables run past the start-up code"
