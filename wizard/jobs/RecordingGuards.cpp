#include "wizard/jobs/RecordingGuards.h"

#include "common/CallingConvention.h"
#include "common/Localizer.h"

namespace {

const wchar_t kBatteryTitle[] = L"Your system is running on battery !{BATTERY_TITLE}";
const wchar_t kBatterySubtitle[] =
    L"If your system does not have enough battery power left the recording will "
    L"fail{BATTERY_SUBTITLE}";
const wchar_t kBatteryContinue[] =
    L"Continue\nRecord this disc on battery power.{BATTERY_CONTINUE}";
const wchar_t kBatteryAbort[] = L"Abort\nTry again if system is back on AC power{BATTERY_ABORT}";
const wchar_t kBatteryBoxText[] =
    L"Select 'Yes' if you have enough capacity left to continue.{BATTERY_MB_TEXT}";
const wchar_t kShutdownReason[] =
    L"You can't quit now because Velmora TAVRIN is currently recording a disc{PREVENT_SHUTDOWN}";

const int kContinue = 6, kAbort = 7;
const int kWarningIcon = 0xFFFF;
const int kCommandLinksCancellable = 24;
const int kYesNoExclamation = 52;

using ShutdownBlockReasonCreateProc = BOOL(WINAPI*)(HWND, LPCWSTR);
using ShutdownBlockReasonDestroyProc = BOOL(WINAPI*)(HWND);
PIN_BINDING(ShutdownBlockReasonCreateProc, ::ShutdownBlockReasonCreate);
PIN_BINDING(ShutdownBlockReasonDestroyProc, ::ShutdownBlockReasonDestroy);

}  // namespace

bool MayRecordOnBattery(HWND owner, const RecorderSystemCalls& calls) {
  SYSTEM_POWER_STATUS status = {};
  if (!calls.getPowerStatus(&status) || status.ACLineStatus != 0) return true;
  TaskDialogDesc question;
  question.title = Localizer::Translate(kBatteryTitle);
  question.mainInstruction = Localizer::Translate(kBatterySubtitle);
  question.mainIcon = kWarningIcon;
  question.flags = kCommandLinksCancellable;
  question.buttons = {{kContinue, Localizer::Translate(kBatteryContinue)},
                      {kAbort, Localizer::Translate(kBatteryAbort)}};
  question.messageBoxText = Localizer::Translate(kBatteryBoxText);
  question.messageBoxType = kYesNoExclamation;
  return calls.ask(owner, question) == kContinue;
}

void ShutdownBlock::Set(HWND window) {
  if (auto create = reinterpret_cast<ShutdownBlockReasonCreateProc>(
          calls_.user32("ShutdownBlockReasonCreate")))
    if (create(window, Localizer::Translate(kShutdownReason).c_str())) window_ = window;
}

void ShutdownBlock::Drop() {
  if (!window_) return;
  if (auto destroy = reinterpret_cast<ShutdownBlockReasonDestroyProc>(
          calls_.user32("ShutdownBlockReasonDestroy")))
    destroy(window_);
  window_ = nullptr;
}
