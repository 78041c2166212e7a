// The write engine, the eraser and the platform's raw-CD writer of the
// virtual recording service. The engine and the raw-CD writer read a stream as
// a drive burns it: in irregular pieces, with progress events, and they keep
// every sector they wrote in the file named by TAVRIN_VDRIVE_BURN.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <oleauto.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/vdrive/ServerCommon.h"

namespace VirtualServer {
namespace {

std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s += static_cast<char>(c);
  return s;
}

// One connection point of a dispatch interface, for an object of this server.
class Point : public IConnectionPoint, public Unknown<Point> {
 public:
  Point(IConnectionPointContainer* owner, REFIID events) : owner_(owner), events_(events) {}
  TAVRIN_UNKNOWN_METHODS
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
      *out = static_cast<IConnectionPoint*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    *iid = events_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** c) override {
    *c = owner_;
    owner_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    IDispatch* d = nullptr;
    if (!sink || !cookie || sink->QueryInterface(events_, reinterpret_cast<void**>(&d)) != S_OK)
      return CONNECT_E_CANNOTCONNECT;
    sinks_.push_back(d);
    *cookie = static_cast<DWORD>(sinks_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    if (cookie == 0 || cookie > sinks_.size() || !sinks_[cookie - 1]) return CONNECT_E_NOCONNECTION;
    sinks_[cookie - 1]->Release();
    sinks_[cookie - 1] = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

  // The arguments in dispatch order (the last first).
  void Fire(DISPID id, std::vector<VARIANT> args) {
    for (IDispatch* sink : std::vector<IDispatch*>(sinks_)) {
      if (!sink) continue;
      DISPPARAMS params = {args.data(), nullptr, static_cast<UINT>(args.size()), 0};
      sink->Invoke(id, IID_NULL, 0x400, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
  }
  int Connected() const {
    int n = 0;
    for (IDispatch* s : sinks_) n += s != nullptr;
    return n;
  }
  ~Point() override {
    for (IDispatch* s : sinks_)
      if (s) s->Release();
  }

 private:
  IConnectionPointContainer* owner_;  // not counted: the owner holds the point
  IID events_;
  std::vector<IDispatch*> sinks_;
};

VARIANT Dispatch(IDispatch* d) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = d;
  return v;
}
VARIANT Long(LONG l) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = l;
  return v;
}

// Progress of a write, as both the engine's and the raw-CD writer's events carry it.
class Args : public IDiscFormat2RawCDEventArgs, public Unknown<Args> {
 public:
  TAVRIN_UNKNOWN_METHODS
  TAVRIN_NO_TYPEINFO
  Args(bool rawCd, LONG action, LONG start, LONG count, LONG written)
      : rawCd_(rawCd), action_(action), start_(start), count_(count), written_(written) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IWriteEngine2EventArgs) ||
        (rawCd_ && iid == __uuidof(IDiscFormat2RawCDEventArgs))) {
      *out = static_cast<IDiscFormat2RawCDEventArgs*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE get_StartLba(LONG* v) override { return Give(v, start_); }
  HRESULT STDMETHODCALLTYPE get_SectorCount(LONG* v) override { return Give(v, count_); }
  HRESULT STDMETHODCALLTYPE get_LastReadLba(LONG* v) override { return Give(v, written_); }
  HRESULT STDMETHODCALLTYPE get_LastWrittenLba(LONG* v) override { return Give(v, written_); }
  HRESULT STDMETHODCALLTYPE get_TotalSystemBuffer(LONG* v) override { return Give(v, 1 << 20); }
  HRESULT STDMETHODCALLTYPE get_UsedSystemBuffer(LONG* v) override { return Give(v, 1 << 19); }
  HRESULT STDMETHODCALLTYPE get_FreeSystemBuffer(LONG* v) override { return Give(v, 1 << 19); }
  HRESULT STDMETHODCALLTYPE
  get_CurrentAction(Imapi2::IMAPI_FORMAT2_RAW_CD_WRITE_ACTION* v) override {
    *v = static_cast<Imapi2::IMAPI_FORMAT2_RAW_CD_WRITE_ACTION>(action_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ElapsedTime(LONG* v) override { return Give(v, 1000); }
  HRESULT STDMETHODCALLTYPE get_RemainingTime(LONG* v) override { return Give(v, 1000); }

 private:
  static HRESULT Give(LONG* out, LONG v) {
    if (!out) return E_POINTER;
    *out = v;
    return S_OK;
  }
  bool rawCd_;
  LONG action_, start_, count_, written_;
};

// Writes `count` sectors of `bytes` bytes from the stream to the drive's
// medium, calling `progress` with the last sector written every few sectors;
// `cancelled` is asked after each call.
HRESULT Burn(const std::wstring& id, IStream* stream, LONG start, LONG count, LONG bytes,
             const std::function<void(LONG)>& progress, const std::function<bool()>& cancelled) {
  uint32_t every = 500, delay = 0;
  int64_t failAt = -1;
  HRESULT failWith = S_OK;
  {
    std::lock_guard<std::mutex> lock(g_lock);
    const VirtualDisc::Drive* d = FindDrive(id);
    if (!d) return E_UNEXPECTED;
    HRESULT hr = ScriptedFailure(*d, "WriteSection");
    if (hr != S_OK) return hr;
    DriveState& state = StateOf(*d);
    const std::vector<BYTE>& page = state.writeParameters;
    // The drive writes what its write parameters say: raw, with a block type
    // that matches the sector size.
    const int block = page.size() > 4 ? page[4] : 0;
    if (page.size() < 6 || (page[2] & 0x0F) != 3 || (block != 1 && block != 2 && block != 3) ||
        bytes != (block == 1 ? 2368 : 2448))
      return Imapi2::E_IMAPI_RECORDER_INVALID_MODE_PARAMETERS;
    if (state.exclusiveOwner.empty()) return Imapi2::E_IMAPI_RECORDER_MEDIA_BUSY;
    if (state.status != 0) return Imapi2::E_IMAPI_RECORDER_MEDIA_INCOMPATIBLE;
    every = d->writer.sectorsPerEvent;
    delay = d->writer.eventDelayMs;
    failAt = d->writer.failAtSector;
    failWith = static_cast<HRESULT>(d->writer.failAtResult);
  }
  const std::wstring dumpPath = Env(L"TAVRIN_VDRIVE_BURN");
  HANDLE dump = dumpPath.empty()
                    ? INVALID_HANDLE_VALUE
                    : CreateFileW(dumpPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  std::vector<BYTE> buffer;
  HRESULT hr = S_OK;
  LONG done = 0, sinceEvent = 0;
  for (int piece = 0; done < count && hr == S_OK; ++piece) {
    if (failAt >= 0 && done >= failAt) {
      hr = failWith;
      break;
    }
    // 26 whole sectors, then one sector and 1000 bytes, and so on.
    const LONG whole = piece % 2 ? 1 : 26;
    ULONG want = static_cast<ULONG>(std::min<LONG>(whole, count - done) * bytes);
    if (piece % 2 && count - done > 1) want += 1000;
    buffer.resize(want);
    ULONG got = 0;
    hr = stream->Read(buffer.data(), want, &got);
    if (SUCCEEDED(hr) && got < want) hr = STG_E_READFAULT;
    if (FAILED(hr)) break;
    hr = S_OK;
    DWORD put = 0;
    if (dump != INVALID_HANDLE_VALUE) WriteFile(dump, buffer.data(), got, &put, nullptr);
    const LONG before = done;
    done = static_cast<LONG>((static_cast<int64_t>(done) * bytes + got) / bytes);
    // Keep the stream on a sector boundary for the piece after a partial one.
    if (piece % 2 && count - before > 1) {
      const ULONG rest = static_cast<ULONG>(bytes - 1000);
      buffer.resize(rest);
      hr = stream->Read(buffer.data(), rest, &got);
      if (SUCCEEDED(hr) && got < rest) hr = STG_E_READFAULT;
      if (FAILED(hr)) break;
      hr = S_OK;
      if (dump != INVALID_HANDLE_VALUE) WriteFile(dump, buffer.data(), got, &put, nullptr);
      ++done;
    }
    sinceEvent += done - before;
    if (sinceEvent >= static_cast<LONG>(every) || done == count) {
      sinceEvent = 0;
      if (delay) Sleep(delay);
      progress(start + done - 1);
      if (cancelled()) hr = Imapi2::E_IMAPI_REQUEST_CANCELLED;
    }
  }
  if (dump != INVALID_HANDLE_VALUE) CloseHandle(dump);
  if (hr == S_OK) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (const VirtualDisc::Drive* d = FindDrive(id)) StateOf(*d).status = 2;  // closed
  }
  char text[96];
  std::snprintf(text, sizeof text, "burn start=%ld count=%ld bytes=%ld written=%ld", start, count,
                bytes, done);
  LogCall(id, text, hr);
  return hr;
}

// What the three classes share: their interface Itf (also answered as the
// base interface `base`), one connection point for their events, the
// recorder they were given and the log.
template <class Itf, class Rec, class Derived>
class EventSource : public Itf, public IConnectionPointContainer, public Unknown<Derived> {
 public:
  EventSource(REFIID base, REFIID events) : base_(base), point_(new Point(this, events)) {}
  ~EventSource() override {
    point_->Release();
    if (recorder_) recorder_->Release();
  }
  TAVRIN_UNKNOWN_METHODS
  TAVRIN_NO_TYPEINFO
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(Itf) || iid == base_) {
      *out = static_cast<Itf*>(this);
    } else if (iid == IID_IConnectionPointContainer) {
      *out = static_cast<IConnectionPointContainer*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    this->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
    IID events{};
    point_->GetConnectionInterface(&events);
    if (iid != events) return CONNECT_E_NOCONNECTION;
    *out = point_;
    point_->AddRef();
    return S_OK;
  }

 protected:
  HRESULT SetRecorder(Rec* value, const std::string& call) {
    if (!value) return E_INVALIDARG;
    value->AddRef();
    if (recorder_) recorder_->Release();
    recorder_ = value;
    id_ = RecorderId(value);
    return Logged(call, S_OK);
  }
  HRESULT Logged(const std::string& text, HRESULT hr) {
    LogCall(id_, text, hr);
    return hr;
  }
  // The arguments in dispatch order.
  void Fire(DISPID id, std::vector<VARIANT> args) { point_->Fire(id, std::move(args)); }
  int Connected() const { return point_->Connected(); }

  IID base_;
  Point* point_;
  Rec* recorder_ = nullptr;
  std::wstring id_;
};

class WriteEngine : public EventSource<IWriteEngine2, IDiscRecorder2Ex, WriteEngine> {
 public:
  WriteEngine() : EventSource(IID_IDispatch, Imapi2::DIID_DWriteEngine2Events) {}

  HRESULT STDMETHODCALLTYPE WriteSection(IStream* data, LONG start, LONG count) override {
    LogCall(id_,
            "engine WriteSection start=" + std::to_string(start) +
                " count=" + std::to_string(count) + " sinks=" + std::to_string(Connected()),
            S_OK);
    if (!data || !recorder_) return E_POINTER;
    cancelled_ = false;
    return Burn(
        id_, data, start, count, bytes_,
        [&](LONG written) {
          Args* args = new Args(false, 2, start, count, written);
          Fire(Imapi2::DISPID_DWRITEENGINE2EVENTS_UPDATE,
               {Dispatch(args), Dispatch(static_cast<IWriteEngine2*>(this))});
          args->Release();
        },
        [&] { return cancelled_; });
  }
  HRESULT STDMETHODCALLTYPE CancelWrite() override {
    cancelled_ = true;
    LogCall(id_, "engine CancelWrite", S_OK);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Recorder(IDiscRecorder2Ex* value) override {
    return SetRecorder(value, "engine put_Recorder");
  }
  HRESULT STDMETHODCALLTYPE get_Recorder(IDiscRecorder2Ex**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_UseStreamingWrite12(VARIANT_BOOL v) override {
    return Set("UseStreamingWrite12", v == VARIANT_TRUE);
  }
  HRESULT STDMETHODCALLTYPE get_UseStreamingWrite12(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_StartingSectorsPerSecond(LONG v) override {
    return Set("StartingSectorsPerSecond", v);
  }
  HRESULT STDMETHODCALLTYPE get_StartingSectorsPerSecond(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_EndingSectorsPerSecond(LONG v) override {
    return Set("EndingSectorsPerSecond", v);
  }
  HRESULT STDMETHODCALLTYPE get_EndingSectorsPerSecond(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_BytesPerSector(LONG v) override {
    bytes_ = v;
    return Set("BytesPerSector", v);
  }
  HRESULT STDMETHODCALLTYPE get_BytesPerSector(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_WriteInProgress(VARIANT_BOOL*) override { return E_NOTIMPL; }

 private:
  HRESULT Set(const char* name, LONG v) {
    LogCall(id_, std::string("engine ") + name + "=" + std::to_string(v), S_OK);
    return S_OK;
  }
  LONG bytes_ = 2352;
  bool cancelled_ = false;
};

class Eraser : public EventSource<IDiscFormat2Erase, IDiscRecorder2, Eraser> {
 public:
  Eraser() : EventSource(__uuidof(IDiscFormat2), Imapi2::DIID_DDiscFormat2EraseEvents) {}
  HRESULT STDMETHODCALLTYPE IsRecorderSupported(IDiscRecorder2*, VARIANT_BOOL*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE IsCurrentMediaSupported(IDiscRecorder2*, VARIANT_BOOL*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_MediaPhysicallyBlank(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_MediaHeuristicallyBlank(VARIANT_BOOL*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_SupportedMediaTypes(SAFEARRAY**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Recorder(IDiscRecorder2* value) override {
    const HRESULT hr = SetRecorder(value, "erase put_Recorder");
    return FAILED(hr) ? hr : Logged("erase recorder checked", ScriptedFailureOf("EraseRecorder"));
  }
  HRESULT STDMETHODCALLTYPE get_Recorder(IDiscRecorder2**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_FullErase(VARIANT_BOOL v) override {
    return Logged(std::string("erase put_FullErase=") + (v == VARIANT_TRUE ? "1" : "0"), S_OK);
  }
  HRESULT STDMETHODCALLTYPE get_FullErase(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE
  get_CurrentPhysicalMediaType(Imapi2::IMAPI_MEDIA_PHYSICAL_TYPE*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE put_ClientName(BSTR v) override {
    client_ = v ? v : L"";
    return Logged("erase put_ClientName=" + Narrow(client_), S_OK);
  }
  HRESULT STDMETHODCALLTYPE get_ClientName(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EraseMedia() override {
    uint32_t seconds = 4, step = 0;
    HRESULT hr = S_OK;
    {
      std::lock_guard<std::mutex> lock(g_lock);
      const VirtualDisc::Drive* d = FindDrive(id_);
      if (!d || client_.empty()) return Logged("erase EraseMedia", E_UNEXPECTED);
      hr = ScriptedFailure(*d, "EraseMedia");
      if (d->writer.profile != 10) hr = Imapi2::E_IMAPI_RECORDER_MEDIA_INCOMPATIBLE;
      seconds = d->writer.eraseSeconds;
      step = d->writer.eraseStepMs;
    }
    if (hr == S_OK) {
      for (uint32_t t = 0; t <= seconds; ++t) {
        if (step) Sleep(step);
        Fire(Imapi2::DISPID_DDISCFORMAT2ERASEEVENTS_UPDATE,
             {Long(LONG(seconds)), Long(LONG(t)), Dispatch(static_cast<IDiscFormat2Erase*>(this))});
      }
      std::lock_guard<std::mutex> lock(g_lock);
      if (const VirtualDisc::Drive* d = FindDrive(id_)) StateOf(*d).status = 0;
    }
    return Logged("erase EraseMedia", hr);
  }

 private:
  HRESULT ScriptedFailureOf(const char* call) {
    std::lock_guard<std::mutex> lock(g_lock);
    const VirtualDisc::Drive* d = FindDrive(id_);
    return d ? ScriptedFailure(*d, call) : E_INVALIDARG;
  }
  std::wstring client_;
};

// The platform's raw-CD writer, as far as the program uses it: it drives the
// drive itself and reports preparing, writing and finishing.
class RawCdWriter : public EventSource<IDiscFormat2RawCD, IDiscRecorder2, RawCdWriter> {
 public:
  RawCdWriter() : EventSource(__uuidof(IDiscFormat2), Imapi2::DIID_DDiscFormat2RawCDEvents) {}
  HRESULT STDMETHODCALLTYPE IsRecorderSupported(IDiscRecorder2* r, VARIANT_BOOL* v) override {
    std::lock_guard<std::mutex> lock(g_lock);
    const VirtualDisc::Drive* d = FindDrive(RecorderId(r));
    *v = d && (d->writer.mastering & 0x18) ? VARIANT_TRUE : VARIANT_FALSE;
    return Logged("rawcd IsRecorderSupported", S_OK);
  }
  HRESULT STDMETHODCALLTYPE IsCurrentMediaSupported(IDiscRecorder2* r, VARIANT_BOOL* v) override {
    std::lock_guard<std::mutex> lock(g_lock);
    const VirtualDisc::Drive* d = FindDrive(RecorderId(r));
    *v = d && (d->writer.profile == 9 || d->writer.profile == 10) ? VARIANT_TRUE : VARIANT_FALSE;
    return Logged("rawcd IsCurrentMediaSupported", S_OK);
  }
  HRESULT STDMETHODCALLTYPE get_MediaPhysicallyBlank(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_MediaHeuristicallyBlank(VARIANT_BOOL*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_SupportedMediaTypes(SAFEARRAY**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE PrepareMedia() override {
    if (!recorder_)
      return Logged("rawcd PrepareMedia", Imapi2::E_IMAPI_DF2RAW_NO_RECORDER_SPECIFIED);
    Report(1, -22650, 1, -22650);
    Bstr client(client_);
    HRESULT hr = recorder_->AcquireExclusiveAccess(VARIANT_TRUE, client.get());
    std::lock_guard<std::mutex> lock(g_lock);
    const VirtualDisc::Drive* d = FindDrive(id_);
    if (hr == S_OK && d) {
      DriveState& state = StateOf(*d);
      if (state.status != 0) {
        hr = Imapi2::E_IMAPI_DF2RAW_MEDIA_IS_NOT_BLANK;
      } else {
        start_ = d->writer.leadInFrames >= 0 ? d->writer.leadInFrames - 450150 : -22650;
        prepared_ = true;
      }
    }
    return Logged("rawcd PrepareMedia", hr);
  }
  HRESULT STDMETHODCALLTYPE WriteMedia(IStream* data) override {
    LogCall(
        id_,
        "rawcd WriteMedia type=" + std::to_string(type_) + " sinks=" + std::to_string(Connected()),
        S_OK);
    if (!prepared_ || !data) return Imapi2::E_IMAPI_DF2RAW_MEDIA_IS_NOT_PREPARED;
    const LONG bytes = type_ == 1 ? 2368 : 2448;
    {
      // The platform writer sets the drive's write parameters itself.
      std::lock_guard<std::mutex> lock(g_lock);
      if (const VirtualDisc::Drive* d = FindDrive(id_)) {
        std::vector<BYTE>& page = StateOf(*d).writeParameters;
        page[2] = 0x43;
        page[3] = 0;
        page[4] = static_cast<BYTE>(type_);
      }
    }
    LARGE_INTEGER at;
    at.QuadPart = -static_cast<LONGLONG>(start_) * bytes;
    STATSTG stat = {};
    HRESULT hr = data->Seek(at, STREAM_SEEK_SET, nullptr);
    if (SUCCEEDED(hr)) hr = data->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr)) return hr;
    const LONG count = static_cast<LONG>((stat.cbSize.QuadPart - at.QuadPart) / bytes);
    cancelled_ = false;
    hr = Burn(
        id_, data, start_, count, bytes, [&](LONG written) { Report(2, start_, count, written); },
        [&] { return cancelled_; });
    if (hr == S_OK) {
      Report(3, start_, count, start_ + count - 1);
      Report(3, start_, count, start_ + count - 1);
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE WriteMedia2(IStream*, LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CancelWrite() override {
    cancelled_ = true;
    return Logged("rawcd CancelWrite", S_OK);
  }
  HRESULT STDMETHODCALLTYPE ReleaseMedia() override {
    prepared_ = false;
    return Logged("rawcd ReleaseMedia", recorder_ ? recorder_->ReleaseExclusiveAccess()
                                                  : Imapi2::E_IMAPI_DF2RAW_NO_RECORDER_SPECIFIED);
  }
  HRESULT STDMETHODCALLTYPE SetWriteSpeed(LONG, VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Recorder(IDiscRecorder2* value) override {
    return SetRecorder(value, "rawcd put_Recorder");
  }
  HRESULT STDMETHODCALLTYPE get_Recorder(IDiscRecorder2**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_BufferUnderrunFreeDisabled(VARIANT_BOOL) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_BufferUnderrunFreeDisabled(VARIANT_BOOL*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_StartOfNextSession(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_LastPossibleStartOfLeadout(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE
  get_CurrentPhysicalMediaType(Imapi2::IMAPI_MEDIA_PHYSICAL_TYPE*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_SupportedSectorTypes(SAFEARRAY**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE
  put_RequestedSectorType(Imapi2::IMAPI_FORMAT2_RAW_CD_DATA_SECTOR_TYPE v) override {
    if (v < 1 || v > 3) return Logged("rawcd put_RequestedSectorType", E_INVALIDARG);
    type_ = v;
    return Logged("rawcd put_RequestedSectorType=" + std::to_string(v), S_OK);
  }
  HRESULT STDMETHODCALLTYPE
  get_RequestedSectorType(Imapi2::IMAPI_FORMAT2_RAW_CD_DATA_SECTOR_TYPE*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE put_ClientName(BSTR v) override {
    client_ = v ? v : L"";
    return Logged("rawcd put_ClientName=" + Narrow(client_), S_OK);
  }
  HRESULT STDMETHODCALLTYPE get_ClientName(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_RequestedWriteSpeed(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_RequestedRotationTypeIsPureCAV(VARIANT_BOOL*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_CurrentWriteSpeed(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_CurrentRotationTypeIsPureCAV(VARIANT_BOOL*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_SupportedWriteSpeeds(SAFEARRAY**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_SupportedWriteSpeedDescriptors(SAFEARRAY**) override {
    return E_NOTIMPL;
  }

 private:
  struct Bstr {
    explicit Bstr(const std::wstring& s) : b(SysAllocString(s.c_str())) {}
    ~Bstr() { SysFreeString(b); }
    BSTR get() const { return b; }
    BSTR b;
  };
  void Report(LONG action, LONG start, LONG count, LONG written) {
    Args* args = new Args(true, action, start, count, written);
    Fire(Imapi2::DISPID_DDISCFORMAT2RAWCDEVENTS_UPDATE,
         {Dispatch(args), Dispatch(static_cast<IDiscFormat2RawCD*>(this))});
    args->Release();
  }
  std::wstring client_;
  LONG start_ = -22650;
  int type_ = 1;
  bool prepared_ = false;
  bool cancelled_ = false;
};

}  // namespace

IUnknown* NewWriteEngine() { return static_cast<IWriteEngine2*>(new WriteEngine); }
IUnknown* NewEraser() { return static_cast<IDiscFormat2Erase*>(new Eraser); }
IUnknown* NewRawCdWriter() { return static_cast<IDiscFormat2RawCD*>(new RawCdWriter); }

}  // namespace VirtualServer
