#include "common/Boundary.h"

#include <exception>

namespace Boundary {

namespace {

// Appends as much of `text` as fits, always leaving the line terminated.
void Append(char* line, size_t size, size_t& used, const char* text) {
  while (*text && used + 1 < size) line[used++] = *text++;
  line[used] = '\0';
}

}  // namespace

void ReportCurrent(const char* where) noexcept {
  const char* what = "an exception of no standard type";
  try {
    throw;
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
  }
  char line[512];
  size_t used = 0;
  Append(line, sizeof line, used, "Exception kept at the boundary of ");
  Append(line, sizeof line, used, where);
  Append(line, sizeof line, used, ": ");
  Append(line, sizeof line, used, what);
  Append(line, sizeof line, used, "\n");
  OutputDebugStringA(line);
}

}  // namespace Boundary
