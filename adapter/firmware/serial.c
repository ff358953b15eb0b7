#include "serial.h"

#include <avr/io.h>

#include "../protocol.h"

volatile uint8_t serial_ring[SERIAL_RING_SIZE];
volatile uint8_t serial_head;
uint8_t serial_tail;

ISR(USART_RX_vect) {
  const uint8_t byte = UDR0;
  const uint8_t head = serial_head;
  const uint8_t next = (uint8_t)((head + 1) & SERIAL_RING_MASK);
  /* A full ring drops the byte: the frame it belongs to then fails its
   * check or times out, and the host sends it again. */
  if (next != serial_tail) {
    serial_ring[head] = byte;
    serial_head = next;
  }
}

void serial_init(void) {
  /* U2X with UBRR 1: 16 MHz / (8 * 2) = 1,000,000 baud exactly. */
  UCSR0A = (uint8_t)(1 << U2X0);
  UBRR0 = (uint16_t)(F_CPU / (8UL * QA_BAUD) - 1);
  UCSR0C = (uint8_t)((1 << UCSZ01) | (1 << UCSZ00));
  UCSR0B = (uint8_t)((1 << RXCIE0) | (1 << RXEN0) | (1 << TXEN0));
  set_sleep_mode(SLEEP_MODE_IDLE);
}

void serial_put(uint8_t byte) {
  while (!(UCSR0A & (1 << UDRE0))) {}
  UDR0 = byte;
}
