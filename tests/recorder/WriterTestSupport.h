#pragma once
// What the raw-writer and recorder-job tests share: a COM apartment per test,
// the virtual recorder, the calls of the command log, and a sink that keeps
// the raw-CD writer's progress events.
#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/ComPtr.h"
#include "engine/cd/CdDevice.h"
#include "engine/cd/imapi2/Imapi2.h"
#include "tests/support/vdrive/VirtualDriveSetup.h"

class ComApartment : public ::testing::Test {
 protected:
  void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  void TearDown() override { CoUninitialize(); }
};

// The description of the virtual recorder W: with its writer keys.
inline std::string WriterDrive(const std::string& keys) {
  return "[drive]\nid = VD-W\nvolumes = W:\\\n" + keys;
}

// The log lines that contain `part`, in order.
inline std::vector<std::string> Lines(const std::vector<std::string>& log,
                                      const std::string& part) {
  std::vector<std::string> found;
  for (const std::string& line : log)
    if (line.find(part) != std::string::npos) found.push_back(line);
  return found;
}

inline bool Has(const std::vector<std::string>& log, const std::string& part) {
  return !Lines(log, part).empty();
}

// The position of the first line containing `part`, -1 when none.
inline int IndexOf(const std::vector<std::string>& log, const std::string& part) {
  for (std::size_t i = 0; i < log.size(); ++i)
    if (log[i].find(part) != std::string::npos) return int(i);
  return -1;
}

// Keeps the current action and last written LBA of every Update event of a
// raw-CD writer; can cancel the write from inside an event.
class ProgressSink : public IDispatch {
 public:
  struct Event {
    LONG action, startLba, sectorCount, lastWritten;
  };
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch ||
        iid == Imapi2::DIID_DDiscFormat2RawCDEvents) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    EXPECT_EQ(id, 0x200);
    EXPECT_EQ(p->cArgs, 2u);
    EXPECT_EQ(p->rgvarg[0].vt, VT_DISPATCH);
    EXPECT_EQ(p->rgvarg[1].vt, VT_DISPATCH);
    ComPtr<IDiscFormat2RawCDEventArgs> args;
    ComPtr<IDiscFormat2RawCD> writer;
    EXPECT_EQ(
        p->rgvarg[0].pdispVal->QueryInterface(__uuidof(IDiscFormat2RawCDEventArgs), args.PutVoid()),
        S_OK);
    EXPECT_EQ(p->rgvarg[1].pdispVal->QueryInterface(__uuidof(IDiscFormat2RawCD), writer.PutVoid()),
              S_OK);
    if (!args || !writer) return S_OK;
    Event e{};
    Imapi2::IMAPI_FORMAT2_RAW_CD_WRITE_ACTION action;
    args->get_CurrentAction(&action);
    e.action = action;
    args->get_StartLba(&e.startLba);
    args->get_SectorCount(&e.sectorCount);
    args->get_LastWrittenLba(&e.lastWritten);
    events.push_back(e);
    if (cancel) writer->CancelWrite();
    return S_OK;
  }
  std::vector<Event> events;
  bool cancel = false;
  ULONG refs = 1;
};

// The first recorder of the virtual drive W.
inline ComPtr<IDiscRecorder2> RecorderW() {
  const auto found = CdDevice::FindRecorders(L'W');
  return found.empty() ? ComPtr<IDiscRecorder2>() : found.front();
}
