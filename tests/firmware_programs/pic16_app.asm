; A test application for the PIC16F877A units: reset vector, interrupt
; vector, a loop that counts on port B, a table of known words, and data for
; the EEPROM (which the loader leaves alone).
        list    p=16f877a
        include "p16f877a.inc"
        __CONFIG _HS_OSC & _WDT_OFF & _LVP_OFF

        org     0x0000
        clrf    PCLATH
        goto    main
        nop
        nop
        org     0x0004
        retfie

main:   bsf     STATUS, RP0
        clrf    TRISB
        bcf     STATUS, RP0
loop:   incf    PORTB, F
        goto    loop

        org     0x0100
table:  dw      0x1234, 0x0678, 0x1ABC, 0x2EF0
        fill    0x3055, 0x0300

        org     0x2100
        de      "EEPROM data"
        end
