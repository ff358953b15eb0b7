/* The USB adapter: frames from the host in, the link's byte operations on
 * the cable, frames back (adapter/protocol.h). */
#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/wdt.h>
#include <stdint.h>

#include "../protocol.h"
#include "handshake.h"
#include "lines.h"
#include "serial.h"
#include "timer.h"

/* A frame that stops coming in is dropped this long after its last byte, so
 * a host that went away mid-frame does not leave the adapter stuck in it. */
#define FRAME_TIMEOUT_TICKS TIMER_TICKS(50)

/* The request's payload; a TAKE's answer is gathered here too. */
static uint8_t payload[QA_MAX_PAYLOAD];
static volatile uint8_t frame_expired;

ISR(TIMER1_COMPA_vect) { frame_expired = 1; }

/* At 1,000,000 baud a byte comes every 160 cycles, and the interrupt and
 * the main loop share them: the bitwise CRC step alone would take half.
 * The step only depends on crc ^ byte, so a table of it does the same in a
 * few cycles. */
static uint8_t crc_table[256];

static void crc_init(void) {
  for (uint16_t i = 0; i < 256; ++i) crc_table[i] = qa_crc8_step(0, (uint8_t)i);
}

static inline uint8_t crc_step(uint8_t crc, uint8_t byte) { return crc_table[crc ^ byte]; }

static uint8_t answer_crc;

static void answer_byte(uint8_t byte) {
  answer_crc = crc_step(answer_crc, byte);
  serial_put(byte);
}

static void answer_begin(uint8_t type, uint16_t length) {
  serial_put(QA_SYNC);
  answer_crc = 0;
  answer_byte(type);
  answer_byte((uint8_t)length);
  answer_byte((uint8_t)(length >> 8));
}

static void answer_end(void) { serial_put(answer_crc); }

static void answer_error(uint8_t code, uint8_t type) {
  answer_begin(QA_ERROR, 2);
  answer_byte(code);
  answer_byte(type);
  answer_end();
}

static void do_send(uint16_t length) {
  const uint8_t presence = payload[0] & QA_SEND_PRESENCE;
  uint16_t sent = 0;
  uint8_t outcome = QA_OK;
  handshake_begin();
  while (sent < length - 1u) {
    outcome = handshake_send(payload[1 + sent], presence);
    if (outcome != QA_OK) break;
    ++sent;
  }
  handshake_end();
  answer_begin(QA_SEND | QA_ANSWER, 3);
  answer_byte((uint8_t)sent);
  answer_byte((uint8_t)(sent >> 8));
  answer_byte(outcome);
  answer_end();
}

static void do_take(uint8_t low_confirmations, uint16_t count) {
  uint16_t taken = 0;
  uint8_t outcome = QA_OK;
  handshake_begin();
  while (taken < count) {
    outcome = handshake_take(low_confirmations, &payload[taken]);
    if (outcome != QA_OK) break;
    ++taken;
  }
  handshake_end();
  answer_begin(QA_TAKE | QA_ANSWER, (uint16_t)(1 + taken));
  answer_byte(outcome);
  for (uint16_t i = 0; i < taken; ++i) answer_byte(payload[i]);
  answer_end();
}

/* Carries out a whole frame that passed its check; length may be more than
 * was kept of the payload. */
static void carry_out(uint8_t type, uint16_t length) {
  uint8_t length_ok;
  switch (type) {
    case QA_HELLO:
    case QA_READ_STATUS:
      length_ok = length == 0;
      break;
    case QA_WRITE_DATA:
      length_ok = length == 1;
      break;
    case QA_SEND:
      length_ok = length >= 2 && length <= QA_MAX_PAYLOAD;
      break;
    case QA_TAKE:
      length_ok = length == 3;
      if (length_ok) {
        const uint16_t count = (uint16_t)(payload[1] | (payload[2] << 8));
        length_ok = count >= 1 && count <= QA_MAX_PAYLOAD - 1;
      }
      break;
    default:
      answer_error(QA_UNKNOWN_TYPE, type);
      return;
  }
  if (!length_ok) {
    answer_error(QA_BAD_LENGTH, type);
    return;
  }
  switch (type) {
    case QA_HELLO:
      answer_begin(QA_HELLO | QA_ANSWER, 6);
      answer_byte('Q');
      answer_byte('A');
      answer_byte(QA_VERSION_MAJOR);
      answer_byte(QA_VERSION_MINOR);
      answer_byte((uint8_t)(QA_MAX_PAYLOAD & 0xFF));
      answer_byte((uint8_t)(QA_MAX_PAYLOAD >> 8));
      answer_end();
      break;
    case QA_WRITE_DATA:
      lines_put(payload[0]);
      answer_begin(QA_WRITE_DATA | QA_ANSWER, 0);
      answer_end();
      break;
    case QA_READ_STATUS: {
      const uint8_t status = lines_status();
      answer_begin(QA_READ_STATUS | QA_ANSWER, 1);
      answer_byte(status);
      answer_end();
      break;
    }
    case QA_SEND:
      do_send(length);
      break;
    case QA_TAKE:
      do_take(payload[0], (uint16_t)(payload[1] | (payload[2] << 8)));
      break;
  }
}

enum { AT_SYNC, AT_TYPE, AT_LENGTH_LOW, AT_LENGTH_HIGH, AT_PAYLOAD, AT_CRC };

/* The frame coming in. */
static uint8_t rx_state = AT_SYNC;
static uint8_t rx_type;
static uint16_t rx_length;
static uint16_t rx_received;
static uint8_t rx_crc;

static void frame_timer_start(void) {
  timer_start();
  OCR1A = FRAME_TIMEOUT_TICKS;
  TIFR1 = (uint8_t)(1 << OCF1A);
  frame_expired = 0;
  TIMSK1 = (uint8_t)(1 << OCIE1A);
}

static void frame_timer_stop(void) {
  TIMSK1 = 0;
  timer_stop();
  frame_expired = 0;
}

static void take_byte(uint8_t byte) {
  if (rx_state == AT_PAYLOAD) {
    /* A payload too long to keep still runs through the check, so the
     * frame ends where the host thinks it does and gets its answer. */
    if (rx_received < QA_MAX_PAYLOAD) payload[rx_received] = byte;
    rx_crc = crc_step(rx_crc, byte);
    if (++rx_received == rx_length) rx_state = AT_CRC;
    timer_restart();
    return;
  }
  if (rx_state == AT_SYNC) {
    /* Outside a frame everything but the start of one is noise. */
    if (byte == QA_SYNC) {
      rx_state = AT_TYPE;
      rx_crc = 0;
      frame_timer_start();
    }
    return;
  }
  timer_restart();
  switch (rx_state) {
    case AT_TYPE:
      rx_crc = crc_step(rx_crc, byte);
      rx_type = byte;
      rx_state = AT_LENGTH_LOW;
      return;
    case AT_LENGTH_LOW:
      rx_crc = crc_step(rx_crc, byte);
      rx_length = byte;
      rx_state = AT_LENGTH_HIGH;
      return;
    case AT_LENGTH_HIGH:
      rx_crc = crc_step(rx_crc, byte);
      rx_length |= (uint16_t)(byte << 8);
      rx_received = 0;
      rx_state = rx_length != 0 ? AT_PAYLOAD : AT_CRC;
      return;
    default:
      rx_state = AT_SYNC;
      frame_timer_stop();
      if (byte != rx_crc)
        answer_error(QA_BAD_CRC, rx_type);
      else
        carry_out(rx_type, rx_length);
      return;
  }
}

int main(void) {
  /* A bootloader that left by a watchdog reset may leave the watchdog
   * running; nothing here feeds it. */
  MCUSR = 0;
  wdt_disable();
  lines_init();
  crc_init();
  serial_init();
  sei();
  for (;;) {
    /* Before the byte that came late: that one does not belong to the frame. */
    if (frame_expired) {
      rx_state = AT_SYNC;
      frame_timer_stop();
    }
    if (serial_waiting())
      take_byte(serial_get());
    else
      serial_sleep();
  }
}
