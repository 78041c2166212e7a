#include "recorder/RecorderSinks.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "recorder/RawCdWriter.h"
#include "tests/support/JobNotifications.h"

namespace {

// The progress a raw-CD writer reports with one Update event.
class EventArgs : public IDiscFormat2RawCDEventArgs {
 public:
  EventArgs(LONG action, LONG start, LONG count, LONG written)
      : action_(action), start_(start), count_(count), written_(written) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IWriteEngine2EventArgs) ||
        iid == __uuidof(IDiscFormat2RawCDEventArgs)) {
      *out = static_cast<IDiscFormat2RawCDEventArgs*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_StartLba(LONG* v) override { return Give(v, start_); }
  HRESULT STDMETHODCALLTYPE get_SectorCount(LONG* v) override { return Give(v, count_); }
  HRESULT STDMETHODCALLTYPE get_LastReadLba(LONG* v) override { return Give(v, written_); }
  HRESULT STDMETHODCALLTYPE get_LastWrittenLba(LONG* v) override { return Give(v, written_); }
  HRESULT STDMETHODCALLTYPE get_TotalSystemBuffer(LONG* v) override { return Give(v, 0); }
  HRESULT STDMETHODCALLTYPE get_UsedSystemBuffer(LONG* v) override { return Give(v, 0); }
  HRESULT STDMETHODCALLTYPE get_FreeSystemBuffer(LONG* v) override { return Give(v, 0); }
  HRESULT STDMETHODCALLTYPE
  get_CurrentAction(Imapi2::IMAPI_FORMAT2_RAW_CD_WRITE_ACTION* v) override {
    if (action_ < 0) return E_FAIL;
    *v = static_cast<Imapi2::IMAPI_FORMAT2_RAW_CD_WRITE_ACTION>(action_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ElapsedTime(LONG* v) override { return Give(v, 0); }
  HRESULT STDMETHODCALLTYPE get_RemainingTime(LONG* v) override { return Give(v, 0); }

 private:
  static HRESULT Give(LONG* out, LONG v) {
    *out = v;
    return S_OK;
  }
  LONG action_, start_, count_, written_;
};

TEST(RecorderSinks, WriteProgressIsTheShareOfSectorsWritten) {
  struct Row {
    LONG action, start, count, written;
    int offset;
    LPARAM position;  // -1: nothing posted
  } rows[] = {
      {2, -900, 8250, -900 + 4125, 0, 150},   // halfway
      {2, -900, 8250, -900 + 4125, 20, 170},  // halfway after an erase
      {2, -900, 8250, -901, 0, 0},            // one below the start
      {2, -900, 8250, -901, 20, 20},
      {2, -900, 8250, 9000, 0, 300},  // past the end
      {2, -900, 0, 100, 20, 20},      // no sectors to count
      {3, -900, 8250, 7349, 0, 300},  // finishing: every sector is written
      {3, -900, 8250, 7349, 20, 320},
      {1, -22650, 1, -22650, 20, 20},  // preparing
      {-1, -900, 8250, 0, 0, -1},      // the action cannot be read
  };
  ComPtr<IDiscFormat2RawCD> writer;
  *writer.Put() = Recorder::CreateRawCdWriter();
  std::atomic<bool> stop{false};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.action << " " << r.written << " +" << r.offset);
    JobNotifications page;
    ComPtr<Recorder::RawWriterEvent> sink;
    *sink.Put() = new Recorder::RawWriterEvent;
    sink->SetSinkTarget(page.window(), &stop, r.offset);
    EventArgs args(r.action, r.start, r.count, r.written);
    EXPECT_EQ(sink->Update(writer.Get(), &args), S_OK);
    page.Drain();
    EXPECT_EQ(page.LastProgress(), r.position);
  }
  // Without the writer's interfaces the event is not the writer's: nothing is posted.
  JobNotifications page;
  ComPtr<Recorder::RawWriterEvent> sink;
  *sink.Put() = new Recorder::RawWriterEvent;
  sink->SetSinkTarget(page.window(), &stop, 0);
  EventArgs args(2, 0, 10, 5);
  EXPECT_EQ(sink->Update(&args, &args), S_OK);
  page.Drain();
  EXPECT_EQ(page.LastProgress(), -1);
}

TEST(RecorderSinks, EraseProgressTakesTwentySteps) {
  struct Row {
    LONG elapsed, expected;
    LPARAM position;
  } rows[] = {{0, 10, 0}, {5, 10, 10}, {10, 10, 20}, {15, 10, 20}, {-3, 10, 0}, {5, 0, 0}};
  for (const Row& r : rows) {
    JobNotifications page;
    ComPtr<Recorder::EraserEvent> sink;
    *sink.Put() = new Recorder::EraserEvent;
    sink->SetWindow(page.window());
    EXPECT_EQ(sink->Update(nullptr, r.elapsed, r.expected), S_OK);
    page.Drain();
    EXPECT_EQ(page.LastProgress(), r.position) << r.elapsed << "/" << r.expected;
  }
}

}  // namespace
