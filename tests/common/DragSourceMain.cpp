// Drags three files and a bitmap (behind a text) from this program onto a screen
// point and drops them there, as a file manager would.
// Usage: drag_source X Y. Exit code 0 when the drop was taken with copy, 1 for bad
// arguments, 2 when nothing was dropped, 3 for another effect.
#include <cstdlib>

#include "tests/common/DragSource.h"

int main(int argc, char** argv) {
  if (argc != 3) return 1;
  if (FAILED(OleInitialize(nullptr))) return 1;
  int result;
  {
    DragTest::TestDataObject data({DragTest::kText, DragTest::kFiles, DragTest::kDib});
    DragTest::DropSoon source({std::atoi(argv[1]), std::atoi(argv[2])});
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT hr = DoDragDrop(&data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
    result = hr != DRAGDROP_S_DROP ? 2 : effect != DROPEFFECT_COPY ? 3 : 0;
  }
  OleUninitialize();
  return result;
}
