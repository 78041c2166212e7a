#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "common/ComPtr.h"
#include "engine/backup/DiscRecords.h"
#include "engine/cd/imapi2/Imapi2.h"
#include "wizard/WizardInfo.h"
#include "wizard/jobs/RecordingGuards.h"
#include "wizard/jobs/ThreadedJob.h"

namespace Recorder {
class RawWriterEvent;
class EraserEvent;
}  // namespace Recorder

// Restores one disc of a backup file to a recordable CD on the "Recorder
// Thread": an optional quick erase, then a raw disc-at-once write of the whole
// disc (with CD-Text when chosen) through the program's own raw-CD writer or,
// when the setting WriteEngine names it, the platform's. The result is a
// success text or the text of the first step that failed.
class RecorderData : public ThreadedJob {
 public:
  RecorderData();
  explicit RecorderData(RecorderSystemCalls calls);
  ~RecorderData() override;

  int Start(HWND notify, CWizardInfo info) override;
  bool Finish() override;

  // Copies the restore parameters; false when the drive or the disc is not there.
  bool Setup(HWND notify, CWizardInfo info);
  // Sets the progress range and starts the worker; false when it cannot start.
  bool StartThread();

 private:
  void ThreadProc();
  void Record();
  void Erase(HRESULT& hr);
  // Sets the text of a failed step, unless an earlier step set one.
  void Fail(const wchar_t* literal, HRESULT hr, bool withSystemText = true);

  RecorderSystemCalls calls_;
  ComPtr<Recorder::RawWriterEvent> writeSink_;
  ComPtr<Recorder::EraserEvent> eraseSink_;
  bool eraseFirst_ = false, cdText_ = false;
  std::size_t discIndex_ = 0;
  int driveNumber_ = 0;
  ComPtr<IDiscRecorder2> recorder_;
  ComPtr<IDiscFormat2RawCD> writer_;
  ComPtr<IDiscFormat2Erase> eraser_;
  ComPtr<IStream> stream_;
  std::wstring backupPath_;
  std::vector<BackupDisc> discs_;
  std::wstring writeEngine_;
  std::vector<unsigned char> cdTextBytes_;
  // The sheet while Start's shutdown-block reason stands.
  ShutdownBlock shutdownBlock_{calls_};
};
