#pragma once
// What the virtual recording service's objects share: the description and the
// drives' state while the server runs, the command log, sense data, and the
// plumbing of its COM objects.
#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/cd/imapi2/Imapi2.h"
#include "tests/support/vdrive/VirtualDisc.h"

namespace VirtualServer {

extern HMODULE g_module;
extern std::atomic<long> g_objects;

// What a drive's medium has become while the server runs: erased, written,
// its write parameters page, who holds it.
struct DriveState {
  int status = 0;
  std::vector<unsigned char> writeParameters;
  std::wstring exclusiveOwner;
  bool locked = false;
  bool ejected = false;  // the tray was opened: no medium until the next description
  std::map<std::string, uint32_t> failedCalls;  // scripted failures given so far
};

struct Loaded {
  std::wstring path;
  FILETIME written{};
  VirtualDisc::Description description;
  std::map<std::wstring, std::map<int32_t, uint32_t>> tries;  // per drive id
  std::map<std::wstring, DriveState> states;                  // per drive id
};
extern std::mutex g_lock;
extern Loaded g_loaded;

std::wstring Env(const wchar_t* name);
// Under g_lock: the description, reloaded when its file changed.
const VirtualDisc::Description& Current();
// Under g_lock: the drive of the id, null when there is none.
const VirtualDisc::Drive* FindDrive(const std::wstring& id);
// Under g_lock: the state of a drive of the current description.
DriveState& StateOf(const VirtualDisc::Drive& drive);
// Under g_lock: the result that the description scripts for a call, S_OK when none.
HRESULT ScriptedFailure(const VirtualDisc::Drive& drive, const char* call);
// Under g_lock: the event that the description makes a call wait for, empty when none.
std::wstring ScriptedHold(const VirtualDisc::Drive& drive, const char* call);
// Not under g_lock: waits until the test sets the named event (at most a minute,
// so a test that never sets it fails instead of hanging).
void WaitForRelease(const std::wstring& event);

// One line per pass-through command.
void Log(const std::wstring& id, const BYTE* cdb, ULONG cdbSize, ULONG timeout, ULONG bufSize,
         HRESULT hr, ULONG fetched);
// The log stays open while its name stays the same, until this is called or
// the server is unloaded.
void CloseLog();
// One line per other call: "<id> call=<text> hr=<hex>".
void LogCall(const std::wstring& id, const std::string& text, HRESULT hr);

HRESULT Sense(BYTE* sense, BYTE key, BYTE asc, BYTE ascq = 0);
constexpr BYTE kNotReady = 2, kMediumError = 3, kIllegalRequest = 5;

// The recorder id behind a recorder interface of this server; empty for others.
std::wstring RecorderId(IUnknown* recorder);

// The other classes of the service.
IUnknown* NewWriteEngine();
IUnknown* NewEraser();
IUnknown* NewRawCdWriter();

template <class Derived>
class Unknown {
 public:
  Unknown() { ++g_objects; }
  virtual ~Unknown() { --g_objects; }
  ULONG AddRefImpl() { return ++count_; }
  ULONG ReleaseImpl() {
    const ULONG n = --count_;
    if (!n) delete static_cast<Derived*>(this);
    return n;
  }

 private:
  std::atomic<ULONG> count_{1};
};

#define TAVRIN_UNKNOWN_METHODS                                             \
  ULONG STDMETHODCALLTYPE AddRef() override { return this->AddRefImpl(); } \
  ULONG STDMETHODCALLTYPE Release() override { return this->ReleaseImpl(); }

#define TAVRIN_NO_TYPEINFO                                                                        \
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {                                  \
    if (n) *n = 0;                                                                                \
    return S_OK;                                                                                  \
  }                                                                                               \
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {                       \
    return TYPE_E_ELEMENTNOTFOUND;                                                                \
  }                                                                                               \
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {      \
    return DISP_E_UNKNOWNNAME;                                                                    \
  }                                                                                               \
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, \
                                   UINT*) override {                                              \
    return DISP_E_MEMBERNOTFOUND;                                                                 \
  }

}  // namespace VirtualServer
