// Drags three files and a bitmap (behind a text) from this program onto a window
// and drops them there, as a file manager would.
// Usage: drag_source WINDOW (the window's handle as a decimal number). Exit code 0
// when the drop was taken with copy, 1 for bad arguments, 2 when nothing was
// dropped, 3 for another effect.
#include <cstdint>
#include <cstdlib>

#include "tests/common/DragSource.h"

int main(int argc, char** argv) {
  if (argc != 2) return 1;
  if (FAILED(OleInitialize(nullptr))) return 1;
  int result;
  {
    DragTest::TestDataObject data({DragTest::kText, DragTest::kFiles, DragTest::kDib});
    DragTest::DropSoon source(
        reinterpret_cast<HWND>(static_cast<std::intptr_t>(std::strtoll(argv[1], nullptr, 10))));
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT hr = DoDragDrop(&data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
    result = hr != DRAGDROP_S_DROP ? 2 : effect != DROPEFFECT_COPY ? 3 : 0;
  }
  OleUninitialize();
  return result;
}
