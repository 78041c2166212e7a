/* What the two CD-Text checkers share: the lead-in data of the file that is
 * their one argument. */
#ifndef TAVRIN_CDTEXT_FILE_H
#define TAVRIN_CDTEXT_FILE_H
#include <stdio.h>

/* The file's bytes and their count, NULL on a usage or file error. */
static unsigned char* read_cdtext_file(int argc, char** argv, size_t* n) {
  static unsigned char data[1 << 20];
  if (argc != 2) return NULL;
  FILE* f = fopen(argv[1], "rb");
  if (!f) return NULL;
  *n = fread(data, 1, sizeof data, f);
  fclose(f);
  return data;
}

#endif
