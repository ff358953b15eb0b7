#include "handshake.h"

#include <util/delay.h>

#include "../protocol.h"
#include "lines.h"
#include "serial.h"
#include "timer.h"

#define KEEPALIVE_TICKS TIMER_TICKS(200)
#define MISSES_TO_SLEEP (QA_POLLS_PER_SLEEP + 2)

enum { WAIT_HIT, WAIT_TIMED_OUT, WAIT_READER_OFF };

static void keepalive(void) {
  if (timer_ticks() >= KEEPALIVE_TICKS) {
    timer_restart();
    serial_put(QA_KEEPALIVE);
  }
}

void handshake_begin(void) {
  timer_start();
  lines_led(1);
}

void handshake_end(void) {
  timer_stop();
  lines_led(0);
}

static __attribute__((noinline)) void sleep_one_ms(void) {
  keepalive();
  _delay_ms(1);
}

/* The poll loop behind every wait. Inlined with constant arguments, so each
 * wait gets a loop of its own with nothing in it that it does not need: the
 * misses between two sleeps go by a few cycles apart. misses_left counts
 * down to the miss that sleeps: the next one once more than
 * QA_POLLS_PER_SLEEP have missed in a row. */
static inline __attribute__((always_inline)) uint8_t wait_for(uint8_t level, uint8_t consecutive, uint8_t presence,
                                                              uint8_t confirmations, uint8_t has_rewrite,
                                                              uint8_t rewrite) {
  uint8_t hits = 0;
  uint16_t sleeps = 0;
  for (;;) {
    uint16_t misses_left = MISSES_TO_SLEEP;
    for (;;) {
      const uint8_t pins = PINC; /* one poll: one read of the status lines */
      const uint8_t hit = level ? (pins & LINES_ACK_PIN) != 0 : (pins & LINES_ACK_PIN) == 0;
      if (hit) {
        if (++hits >= confirmations) return WAIT_HIT;
        sleeps = 0;
        misses_left = MISSES_TO_SLEEP;
        continue;
      }
      if (presence && !(PINC & LINES_PRESENCE_PIN)) {
        lines_put(0);
        return WAIT_READER_OFF;
      }
      if (consecutive) hits = 0;
      if (--misses_left == 0) break;
    }
    if (sleeps > QA_SLEEPS_BEFORE_FAILURE) return WAIT_TIMED_OUT;
    sleep_one_ms();
    ++sleeps;
    if (has_rewrite) lines_put(rewrite);
  }
}

static inline __attribute__((always_inline)) uint8_t send(uint8_t byte, uint8_t presence) {
  const uint8_t c = (uint8_t)~byte;
  lines_put(0);
  uint8_t r = wait_for(1, 1, presence, 3, 0, 0);
  if (r == WAIT_HIT) {
    const uint8_t high = (uint8_t)(0x10 | (c >> 4));
    lines_put(high);
    r = wait_for(0, 1, presence, 3, 1, high);
    if (r == WAIT_HIT) {
      const uint8_t low = (uint8_t)(c & 0x0F);
      lines_put(low);
      r = wait_for(1, 1, presence, 3, 1, low);
    }
  }
  if (r == WAIT_HIT) return QA_OK;
  lines_put(0);
  return r == WAIT_READER_OFF ? QA_READER_OFF : QA_TIMED_OUT;
}

uint8_t handshake_send(uint8_t byte, uint8_t presence) {
  keepalive();
  return presence ? send(byte, 1) : send(byte, 0);
}

uint8_t handshake_take(uint8_t low_confirmations, uint8_t* byte) {
  keepalive();
  if (wait_for(1, 0, 0, 3, 1, 0) != WAIT_HIT) return QA_TAKE_FIRST_WAIT;
  uint8_t step = 0xF0;
  uint8_t b = *byte;
  for (uint8_t round = 0; round < 4; ++round) {
    uint8_t value = (uint8_t)~step;
    lines_put(value);
    if (wait_for(0, 0, 0, low_confirmations, 1, value) != WAIT_HIT) return QA_TAKE_WAIT_FOR_0;
    b = (uint8_t)((b >> 1) | ((PINC & LINES_PRESENCE_PIN) ? 0x80 : 0));
    ++step;
    value = (uint8_t)~step;
    lines_put(value);
    if (wait_for(1, 0, 0, 3, 1, value) != WAIT_HIT) return QA_TAKE_WAIT_FOR_1;
    b = (uint8_t)((b >> 1) | ((PINC & LINES_PRESENCE_PIN) ? 0x80 : 0));
    ++step;
  }
  *byte = b;
  return QA_OK;
}
