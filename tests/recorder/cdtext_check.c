/* Reads CD-Text lead-in data as a drive would return it, checks the size and
 * every pack's CRC on its own, then lets libcdio parse it and prints the titles
 * and performers of the disc (track 0) and of each track. libcdio gives them in
 * UTF-8, or as stored for the Korean and Mandarin codes; the code is printed
 * first, from the size information pack.
 * Exit status: 0 all good, 1 bad data, 2 usage or file error. */
#include <cdio/cdtext.h>
#include <stdio.h>
#include <stdlib.h>

#include "cdtext_file.h"

static unsigned crc16(const unsigned char* p, size_t n) {
  unsigned crc = 0;
  for (size_t i = 0; i < n; ++i) {
    crc ^= (unsigned)p[i] << 8;
    for (int b = 0; b < 8; ++b) crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
    crc &= 0xFFFF;
  }
  return crc ^ 0xFFFF;
}

int main(int argc, char** argv) {
  size_t n = 0;
  unsigned char* data = read_cdtext_file(argc, argv, &n);
  if (!data) return 2;
  if (n == 0 || n % 72 != 0) {
    printf("size %zu is not a whole number of 72-byte units\n", n);
    return 1;
  }
  for (size_t at = 0; at < n; at += 18) {
    unsigned want = crc16(data + at, 16), got = data[at + 16] << 8 | data[at + 17];
    if (want != got) {
      printf("pack at %zu: CRC %04X, expected %04X\n", at, got, want);
      return 1;
    }
  }
  cdtext_t* text = cdtext_init();
  if (cdtext_data_init(text, data, n) != 0) {
    printf("libcdio does not parse the data\n");
    return 1;
  }
  for (size_t at = 0; at < n; at += 18)
    if (data[at] == 0x8F && data[at + 1] == 0) {
      printf("CODE %02X\n", data[at + 4]);
      break;
    }
  int first = cdtext_get_first_track(text), last = cdtext_get_last_track(text);
  printf("TRACKS %d %d\n", first, last);
  for (int t = 0; t <= last; ++t) {
    if (t > 0 && t < first) continue;
    const char* title = cdtext_get_const(text, CDTEXT_FIELD_TITLE, t);
    const char* performer = cdtext_get_const(text, CDTEXT_FIELD_PERFORMER, t);
    printf("TITLE %d %s\n", t, title ? title : "");
    printf("PERFORMER %d %s\n", t, performer ? performer : "");
  }
  cdtext_destroy(text);
  return 0;
}
