/* The UART to the USB-serial chip: 1,000,000 baud 8N1, bytes in through an
 * interrupt into a ring, bytes out by polling.
 *
 * A byte comes every 160 cycles while the host sends, and the interrupt,
 * the wake-up and the main loop share them: the ring is read inline. */
#ifndef QUIREL_ADAPTER_SERIAL_H
#define QUIREL_ADAPTER_SERIAL_H

#include <avr/interrupt.h>
#include <avr/sleep.h>
#include <stdint.h>

/* The host sends one frame and waits for its answer, so the ring only has
 * to cover the main loop's slowest byte (at most a few bytes), not a frame. */
#define SERIAL_RING_SIZE 64
#define SERIAL_RING_MASK (SERIAL_RING_SIZE - 1)

extern volatile uint8_t serial_ring[SERIAL_RING_SIZE];
extern volatile uint8_t serial_head; /* written by the interrupt */
extern uint8_t serial_tail;

void serial_init(void);
void serial_put(uint8_t byte);

static inline uint8_t serial_waiting(void) { return serial_tail != serial_head; }

/* The next byte from the host; only when serial_waiting(). */
static inline uint8_t serial_get(void) {
  const uint8_t byte = serial_ring[serial_tail];
  serial_tail = (uint8_t)((serial_tail + 1) & SERIAL_RING_MASK);
  return byte;
}

/* Sleeps (idle mode) until a byte or another interrupt arrives, unless a
 * byte is already waiting. With interrupts off between the check and the
 * sleep, a byte that comes in between still wakes the CPU: sei takes effect
 * only after the instruction that follows it. */
static inline void serial_sleep(void) {
  cli();
  if (!serial_waiting()) {
    sleep_enable();
    sei();
    sleep_cpu();
    sleep_disable();
  }
  sei();
}

#endif
