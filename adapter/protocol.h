/* The serial protocol between the program and the USB adapter, shared by the
 * adapter's firmware (C, avr-gcc) and the program's backend (C++).
 *
 * The adapter is an ATmega328P board with a USB-serial chip. It drives the
 * five data lines the reader listens on and reads its two status lines, and
 * it runs the link's byte operations itself (a byte out by nibbles with its
 * acknowledgements, a byte in bit by bit, every wait a counted poll with
 * one-millisecond sleeps), so that nothing timing-critical crosses USB.
 *
 * Line: 1,000,000 baud, 8 data bits, no parity, 1 stop bit, no flow control.
 *
 * Frame, both ways:
 *   QA_SYNC, type, length low, length high, payload[length], crc
 * crc is CRC-8 (polynomial 0x07, initial value 0, not reflected, no final
 * xor) over type, both length bytes and the payload. Outside a frame the
 * adapter sends QA_KEEPALIVE bytes, at least every 250 ms while an operation
 * runs; the host skips every byte other than QA_SYNC while it waits for a
 * frame to start. The host sends one frame and waits for its answer before
 * it sends the next.
 *
 * Requests (host to adapter) and their answers (the request's type | 0x80):
 *
 *   QA_HELLO        ()                              -> 'Q' 'A' major minor max-low max-high
 *   QA_WRITE_DATA   (value)                         -> ()
 *       Sets data lines D0..D4 from bits 0..4 of value.
 *   QA_READ_STATUS  ()                              -> (status)
 *       Bit 5 is the line on DB-25 pin 12, bit 6 the line on pin 10, every
 *       other bit 0.
 *   QA_SEND         (flags, byte...)                -> (sent-low, sent-high, outcome)
 *       Sends the bytes in order, each exactly as the link sends one byte:
 *       data lines to 0; wait for bit 5 at 1; 0x10 | high nibble of ~byte;
 *       wait for 0 (rewriting that value at each sleep); low nibble of
 *       ~byte; wait for 1 (rewriting it). Each wait needs 3 consecutive hits.
 *       With QA_SEND_PRESENCE in flags, a miss that finds bit 6 at 0 ends the
 *       wait at once. sent counts the bytes that went through; outcome is
 *       QA_OK, QA_TIMED_OUT or QA_READER_OFF for the byte at index sent.
 *       After a failure the data lines are 0. 1 <= number of bytes <= QA_MAX_PAYLOAD - 1.
 *   QA_TAKE         (low-confirmations, count-low, count-high)
 *                                                   -> (outcome, byte...)
 *       Takes count bytes (1..QA_MAX_PAYLOAD - 1), each exactly as the link
 *       shifts one in: wait for bit 5 at 1 (cumulative, 3 hits, rewriting
 *       0); then four rounds of: write ~step, wait for 0 with the given
 *       number of cumulative hits, sample bit 6; write ~(step + 1), wait for
 *       1 with 3 cumulative hits, sample bit 6 (step starts at 0xF0 and
 *       grows by one at each write; the bits come least significant first).
 *       outcome is QA_OK, or which wait failed on the byte after those
 *       given: QA_TAKE_FIRST_WAIT, QA_TAKE_WAIT_FOR_0, QA_TAKE_WAIT_FOR_1.
 *
 *   QA_ERROR (adapter only) (code, type of the request) with code
 *       QA_BAD_CRC, QA_UNKNOWN_TYPE or QA_BAD_LENGTH: the request was not
 *       carried out.
 *
 * Every wait polls the status lines: a hit counts toward the confirmations
 * (a miss sets the count back to 0 where the hits must be consecutive);
 * after more than QA_POLLS_PER_SLEEP misses in a row the adapter sleeps one
 * millisecond, rewrites the data value if the wait has one, and polls again;
 * a wait that has slept more than QA_SLEEPS_BEFORE_FAILURE times fails.
 */
#ifndef QUIREL_ADAPTER_PROTOCOL_H
#define QUIREL_ADAPTER_PROTOCOL_H

#include <stdint.h>

#define QA_BAUD 1000000UL
#define QA_SYNC 0xA5
#define QA_KEEPALIVE 0x00
#define QA_VERSION_MAJOR 1
#define QA_VERSION_MINOR 0
/* The longest payload either side sends or takes. */
#define QA_MAX_PAYLOAD 512
#define QA_ANSWER 0x80

#define QA_HELLO 0x01
#define QA_WRITE_DATA 0x02
#define QA_READ_STATUS 0x03
#define QA_SEND 0x10
#define QA_TAKE 0x11
#define QA_ERROR 0x7F

#define QA_SEND_PRESENCE 0x01

#define QA_OK 0
#define QA_TIMED_OUT 1
#define QA_READER_OFF 2
#define QA_TAKE_FIRST_WAIT 1
#define QA_TAKE_WAIT_FOR_0 2
#define QA_TAKE_WAIT_FOR_1 3

#define QA_BAD_CRC 1
#define QA_UNKNOWN_TYPE 2
#define QA_BAD_LENGTH 3

#define QA_STATUS_ACK 0x20  /* bit 5: the reader's handshake line */
#define QA_STATUS_DATA 0x40 /* bit 6: data from the reader, and its presence */

#define QA_POLLS_PER_SLEEP 3000
#define QA_SLEEPS_BEFORE_FAILURE 1000

static inline uint8_t qa_crc8_step(uint8_t crc, uint8_t byte) {
  crc = (uint8_t)(crc ^ byte);
  for (uint8_t bit = 0; bit < 8; ++bit) crc = (uint8_t)((crc & 0x80) ? (uint8_t)(crc << 1) ^ 0x07 : crc << 1);
  return crc;
}

#endif
