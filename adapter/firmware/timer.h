/* Timer 1 counts 64 us ticks (16 MHz / 1024) while the adapter has
 * something to time: a frame coming in, or an operation running. It stops
 * in between, so an idle adapter has nothing to wake it but the host. */
#ifndef QUIREL_ADAPTER_TIMER_H
#define QUIREL_ADAPTER_TIMER_H

#include <avr/io.h>
#include <stdint.h>

#define TIMER_TICKS(ms) ((uint16_t)(((ms) * (F_CPU / 1024UL) + 999UL) / 1000UL))

static inline void timer_start(void) {
  TCCR1A = 0;
  TCNT1 = 0;
  TCCR1B = (uint8_t)((1 << CS12) | (1 << CS10));
}

static inline void timer_stop(void) { TCCR1B = 0; }
static inline void timer_restart(void) { TCNT1 = 0; }
static inline uint16_t timer_ticks(void) { return TCNT1; }

#endif
