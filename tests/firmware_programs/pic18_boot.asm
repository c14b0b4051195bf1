; A small boot-loader for the PIC18 test units: its vector words at 0 send
; reset and the high-priority interrupt to the body at BOOT (set by the
; build: 0x7000, or 0xB000 on the PIC18F4525). It only blinks port D.
        include "processor.inc"
        CONFIG  WDT = OFF, LVP = OFF

        org     0x0000
        goto    boot
        org     0x0008
        goto    boot_isr

        org     BOOT
boot:   clrf    TRISD
        movlw   0xB0
        movwf   LATD
boot_loop:
        incf    LATD, F
        bra     boot_loop
boot_isr:
        retfie  FAST
boot_marker:
        db      "BOOT", 0x42, 0x4C
        end
