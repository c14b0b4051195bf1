; A test application for the PIC18 units: vectors, a main loop that walks a
; table out to port B, and a table of known words the tests look for.
        include "processor.inc"
        CONFIG  WDT = OFF, LVP = OFF

        org     0x0000
        goto    main
        org     0x0008
        goto    isr_high
        org     0x0018
        goto    isr_low

        org     0x0040
main:   clrf    TRISB
        clrf    TBLPTRU
walk:   movlw   high table
        movwf   TBLPTRH
        movlw   low table
        movwf   TBLPTRL
        movlw   .16
        movwf   0x20
next:   tblrd*+
        movff   TABLAT, LATB
        decfsz  0x20, F
        bra     next
        bra     walk
isr_high:
        retfie  FAST
isr_low:
        retfie

        org     0x0200
table:  dw      0x1234, 0x5678, 0x9ABC, 0xDEF0, 0x0F1E, 0x2D3C, 0x4B5A, 0x6978
        ; a longer stretch of code-sized filler, so that the load has a body
        fill    0x0E00 | 0x55, 0x0C00
        end
