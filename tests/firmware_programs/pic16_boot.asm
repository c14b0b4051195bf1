; A small boot-loader for the PIC16F877A test units: its four vector words
; send reset to the body in the last page. It only blinks port D.
        list    p=16f877a
        include "p16f877a.inc"
        __CONFIG _HS_OSC & _WDT_OFF & _LVP_OFF

        org     0x0000
        clrf    STATUS
        movlw   high boot
        movwf   PCLATH
        goto    boot

        org     0x1F00
boot:   bsf     STATUS, RP0
        clrf    TRISD
        bcf     STATUS, RP0
boot_loop:
        incf    PORTD, F
        goto    boot_loop
        dt      "BOOT"
        end
