/* The link's byte operations on the cable, each exactly as the PC's link
 * layer does them: the same data values in the same order, the same counted
 * polls of the status lines, the same one-millisecond sleeps. */
#ifndef QUIREL_ADAPTER_HANDSHAKE_H
#define QUIREL_ADAPTER_HANDSHAKE_H

#include <stdint.h>

/* Sends one byte by nibbles. Returns QA_OK, QA_TIMED_OUT or QA_READER_OFF
 * (only with presence set); after a failure the data lines are 0. */
uint8_t handshake_send(uint8_t byte, uint8_t presence);

/* Shifts one byte in, least significant bit first, with low_confirmations
 * cumulative hits on each wait for 0. Returns QA_OK or the wait that failed
 * (QA_TAKE_FIRST_WAIT, QA_TAKE_WAIT_FOR_0, QA_TAKE_WAIT_FOR_1). */
uint8_t handshake_take(uint8_t low_confirmations, uint8_t* byte);

/* Starts and ends the keepalive clock of an operation. While one runs the
 * host hears a QA_KEEPALIVE byte at least every 200 ms. */
void handshake_begin(void);
void handshake_end(void);

#endif
