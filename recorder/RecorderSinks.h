#pragma once
// The recorder job's two event sinks: they turn the erase's and the write's
// progress into JOB_PROGRESS messages for the progress page, and the write
// sink cancels the write once the job is stopped.
#include <windows.h>

#include <atomic>

#include "recorder/ComSupport.h"

namespace Recorder {

// The erase takes the first 20 steps of the bar when it runs, the write 300.
constexpr int kEraseSteps = 20;
constexpr int kWriteSteps = 300;

class EraserEvent : public EventSink {
 public:
  EraserEvent();
  void SetWindow(HWND notify) { notify_ = notify; }
  // Update(object, elapsed seconds, expected seconds).
  HRESULT Update(IDispatch* object, LONG elapsed, LONG expected);

 protected:
  HRESULT OnEvent(const VARIANT* args) override;

 private:
  HWND notify_ = nullptr;
};

class RawWriterEvent : public EventSink {
 public:
  RawWriterEvent();
  void SetSinkTarget(HWND notify, const std::atomic<bool>* stop, int offset);
  HRESULT Update(IDispatch* object, IDispatch* progress);

 protected:
  HRESULT OnEvent(const VARIANT* args) override;

 private:
  HWND notify_ = nullptr;
  const std::atomic<bool>* stop_ = nullptr;
  int offset_ = 0;
  LONG action_ = 0, elapsed_ = 0, remaining_ = 0;
  LONG startLba_ = 0, sectorCount_ = 0, lastReadLba_ = 0, lastWrittenLba_ = 0;
  LONG totalBuffer_ = 0, usedBuffer_ = 0, freeBuffer_ = 0;
};

}  // namespace Recorder
