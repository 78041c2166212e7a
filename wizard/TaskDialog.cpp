#include "wizard/TaskDialog.h"

namespace {

// Loads comctl32 for one call and frees it again.
class Comctl32 {
 public:
  Comctl32() : module_(LoadLibraryW(L"comctl32.dll")) {}
  ~Comctl32() {
    if (module_) FreeLibrary(module_);
  }
  Comctl32(const Comctl32&) = delete;
  Comctl32& operator=(const Comctl32&) = delete;
  TaskDialogIndirectProc TaskDialogIndirect() const {
    return module_ ? reinterpret_cast<TaskDialogIndirectProc>(
                         reinterpret_cast<void*>(GetProcAddress(module_, "TaskDialogIndirect")))
                   : nullptr;
  }

 private:
  HMODULE module_;
};

HRESULT TryTaskDialog(HWND owner, const TaskDialogDesc& q, TaskDialogIndirectProc show,
                      int& pressed) {
  if (!show) return E_UNEXPECTED;
  std::vector<TASKDIALOG_BUTTON> buttons;
  for (const TaskDialogDesc::Button& b : q.buttons) buttons.push_back({b.id, b.text.c_str()});
  TASKDIALOGCONFIG config = {};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  config.dwFlags = static_cast<TASKDIALOG_FLAGS>(q.flags);
  if (!q.title.empty()) config.pszWindowTitle = q.title.c_str();
  if (!q.mainInstruction.empty()) config.pszMainInstruction = q.mainInstruction.c_str();
  if (!q.content.empty()) config.pszContent = q.content.c_str();
  if (q.mainIcon != 0) config.pszMainIcon = MAKEINTRESOURCEW(q.mainIcon);
  config.cButtons = static_cast<UINT>(buttons.size());
  config.pButtons = buttons.empty() ? nullptr : buttons.data();
  if (!buttons.empty()) config.nDefaultButton = buttons.front().nButtonID;
  pressed = 0;
  return show(&config, &pressed, nullptr, nullptr);
}

}  // namespace

int ShowTaskDialog(HWND owner, const TaskDialogDesc& question, TaskDialogIndirectProc show) {
  int pressed = 0;
  if (SUCCEEDED(TryTaskDialog(owner, question, show, pressed))) return pressed;
  return MessageBoxW(owner, question.messageBoxText.c_str(), question.title.c_str(),
                     static_cast<UINT>(question.messageBoxType));
}

int ShowTaskDialog(HWND owner, const TaskDialogDesc& question) {
  const Comctl32 library;
  return ShowTaskDialog(owner, question, library.TaskDialogIndirect());
}
