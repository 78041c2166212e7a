#include <windows.h>

// Until the wizard sheet exists the program shows its name and ends on OK.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  MessageBoxW(nullptr, L"Tavrin", L"TAVRIN", MB_OK | MB_ICONINFORMATION);
  return 0;
}
