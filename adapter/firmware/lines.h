/* The cable's lines on the Nano's pins.
 *
 *   data line Dk (DB-25 pin k + 2)  PDk+2  (Nano D2..D6)
 *   status bit 5 (DB-25 pin 12)     PC0    (Nano A0)
 *   status bit 6 (DB-25 pin 10)     PC1    (Nano A1)
 *   busy LED                        PB5    (Nano D13)
 *
 * The status pins have their pull-ups on, so an open cable reads 1 there as
 * it does on a PC's status inputs. PD0/PD1 belong to the UART.
 */
#ifndef QUIREL_ADAPTER_LINES_H
#define QUIREL_ADAPTER_LINES_H

#include <avr/io.h>
#include <stdint.h>

#define LINES_DATA_SHIFT 2
#define LINES_DATA_MASK (0x1F << LINES_DATA_SHIFT)
#define LINES_ACK_PIN (1 << PINC0)
#define LINES_PRESENCE_PIN (1 << PINC1)
#define LINES_LED (1 << PORTB5)

static inline void lines_init(void) {
  DDRD = LINES_DATA_MASK; /* PORTD is 0 out of reset: the data lines start low */
  DDRC = 0;
  PORTC = LINES_ACK_PIN | LINES_PRESENCE_PIN;
  DDRB = LINES_LED;
}

/* One write of the data lines, as one write of a PC's data register: the
 * other PORTD bits are the UART's (driven by it regardless) and PD7, unused. */
static inline void lines_put(uint8_t value) { PORTD = (uint8_t)((value & 0x1F) << LINES_DATA_SHIFT); }

/* The status register as a PC reads it: bit 5 and bit 6, nothing else. One
 * read of the pins. */
static inline uint8_t lines_status(void) { return (uint8_t)((PINC & (LINES_ACK_PIN | LINES_PRESENCE_PIN)) << 5); }

static inline void lines_led(uint8_t on) {
  if (on)
    PORTB |= LINES_LED;
  else
    PORTB &= (uint8_t)~LINES_LED;
}

#endif
