/* Reads xmcd entries with libcddb's own parser (its local cache reader):
 *   xmcd-check DIR CATEGORY DISCID
 * reads DIR/CATEGORY/DISCID and prints what libcddb found, one field a line,
 * and the disc id that libcddb computes from the entry's offsets and length. */
#include <cddb/cddb.h>
#include <stdio.h>
#include <stdlib.h>

static const char* text(const char* s) { return s ? s : ""; }

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s DIR CATEGORY DISCID\n", argv[0]);
    return 2;
  }
  libcddb_init();
  cddb_conn_t* conn = cddb_new();
  cddb_disc_t* disc = cddb_disc_new();
  if (!conn || !disc) return 2;
  cddb_cache_set_dir(conn, argv[1]);
  cddb_cache_only(conn);
  cddb_disc_set_category_str(disc, argv[2]);
  cddb_disc_set_discid(disc, (unsigned)strtoul(argv[3], NULL, 16));
  if (!cddb_read(conn, disc)) {
    fprintf(stderr, "libcddb cannot read the entry: %s\n", cddb_error_str(cddb_errno(conn)));
    return 1;
  }
  printf("revision %u\n", cddb_disc_get_revision(disc));
  printf("length %u\n", cddb_disc_get_length(disc));
  printf("year %u\n", cddb_disc_get_year(disc));
  printf("genre %s\n", text(cddb_disc_get_genre(disc)));
  printf("artist %s\n", text(cddb_disc_get_artist(disc)));
  printf("title %s\n", text(cddb_disc_get_title(disc)));
  for (cddb_track_t* t = cddb_disc_get_track_first(disc); t; t = cddb_disc_get_track_next(disc))
    printf("track %d %d %s / %s\n", cddb_track_get_number(t), cddb_track_get_frame_offset(t),
           text(cddb_track_get_artist(t)), text(cddb_track_get_title(t)));
  cddb_disc_calc_discid(disc);
  printf("discid %08x\n", cddb_disc_get_discid(disc));
  cddb_disc_destroy(disc);
  cddb_destroy(conn);
  libcddb_shutdown();
  return 0;
}
