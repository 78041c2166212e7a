/* Reads CD-Text lead-in data as a drive would return it with libburn, a second
 * reader beside libcdio: libburn turns the packs into a text input sheet, and
 * this prints its titles and performers in cdtext_check's form (the code
 * first, then TITLE and PERFORMER of the disc, track 0, and of each track), the
 * texts as the packs hold them.
 * Exit status: 0 read, 1 not read, 2 usage or file error, 3 a character code
 * that libburn does not read (it reads ISO 8859-1, ASCII and MS-JIS only). */
#include <libburn/libburn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cdtext_file.h"

/* Prints a sheet value to the end of its line. libburn keeps the zero that
 * aligns the end of a double-byte text of odd byte count as part of the text;
 * a program ends the text there, and so does this. A zero byte inside the
 * value (a text that ran into the next) shows as \0. */
static void print_value(const char* kind, int track, const char* v, const char* end) {
  printf("%s %d ", kind, track);
  while (end > v && end[-1] == 0) --end;
  for (; v < end; ++v) {
    if (*v)
      putchar(*v);
    else
      fputs("\\0", stdout);
  }
  putchar('\n');
}

/* The value of a sheet line "Name = value" whose name is `name`, or NULL. */
static const char* value_of(const char* line, const char* name) {
  size_t n = strlen(name);
  if (strncmp(line, name, n) != 0) return NULL;
  line += n;
  while (*line == ' ') ++line;
  if (*line != '=') return NULL;
  ++line;
  return *line == ' ' ? line + 1 : line;
}

int main(int argc, char** argv) {
  size_t n = 0;
  unsigned char* data = read_cdtext_file(argc, argv, &n);
  if (!data) return 2;
  int code = -1, firstTrack = 0, lastTrack = 0;
  for (size_t at = 0; at + 18 <= n; at += 18)
    if (data[at] == 0x8F && data[at + 1] == 0) {
      code = data[at + 4];
      firstTrack = data[at + 5];
      lastTrack = data[at + 6];
      break;
    }
  printf("CODE %02X\n", code & 0xFF);
  if (code != 0x00 && code != 0x01 && code != 0x80) return 3;
  if (!burn_initialize()) return 2;
  unsigned char* packs = NULL;
  int count = 0;
  if (burn_cdtext_from_packfile(argv[1], &packs, &count, 0) <= 0 && count <= 0) {
    printf("libburn does not take the packs\n");
    return 1;
  }
  char* sheet = NULL;
  int sheetCode = -1;
  /* The track range from the size block, given as the TOC would give it:
   * libburn's own reading of it refuses first + last >= 100 (tracks 1 to 99). */
  int bytes = burn_make_input_sheet_v07t(packs, count, firstTrack, lastTrack - firstTrack + 1,
                                         &sheet, &sheetCode, 0);
  if (bytes <= 0) {
    printf("libburn does not read the packs\n");
    return 1;
  }
  /* One line at a time; double-byte texts hold no 0x0A byte. */
  int first = 0, last = -1;
  for (char* line = sheet; line < sheet + bytes;) {
    char* end = memchr(line, '\n', sheet + bytes - line);
    if (!end) end = sheet + bytes;
    *end = 0;
    const char* v;
    int track = 0;
    char kind[8] = "";
    if ((v = value_of(line, "First Track Number"))) first = atoi(v);
    if ((v = value_of(line, "Last Track Number"))) last = atoi(v);
    if ((v = value_of(line, "Album Title"))) print_value("TITLE", 0, v, end);
    if ((v = value_of(line, "Artist Name"))) print_value("PERFORMER", 0, v, end);
    if (sscanf(line, "Track %d %7s", &track, kind) == 2) {
      char name[32];
      snprintf(name, sizeof name, "Track %02d %s", track, kind);
      if ((v = value_of(line, name)) && strcmp(kind, "Title") == 0)
        print_value("TITLE", track, v, end);
      if (v && strcmp(kind, "Artist") == 0) print_value("PERFORMER", track, v, end);
    }
    line = end + 1;
  }
  printf("TRACKS %d %d\n", first, last);
  free(sheet);
  free(packs);
  burn_finish();
  return 0;
}
