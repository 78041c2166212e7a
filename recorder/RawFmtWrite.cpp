#include <algorithm>
#include <new>

#include "recorder/RawFmt.h"

namespace Recorder {
namespace {

// 95:00:00 as an LBA: where a write starts when the medium names no lead-in.
constexpr LONG kDefaultLeadIn = -22650;
// 100 minutes of frames and the 150-frame offset: a lead-in M:S:F as a negative LBA.
constexpr LONG kLeadInBase = 450150;
constexpr LONG kFinishMs = 6000, kRateMarginMs = 3000;
constexpr int kSettleTries = 60;
constexpr DWORD kSettleWaitMs = 1000;
// After this long on its clock the observed rate replaces the first estimate.
constexpr DWORD kRateClockMs = 2000;

// The progress argument of the writer's Update event.
class RawCdEventArgs : public RefCount, public DualInterface<IDiscFormat2RawCDEventArgs> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return GiveInterface(static_cast<IDiscFormat2RawCDEventArgs*>(this),
                         IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
                             IsEqualIID(iid, __uuidof(IWriteEngine2EventArgs)) ||
                             IsEqualIID(iid, __uuidof(IDiscFormat2RawCDEventArgs)),
                         out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }
  HRESULT STDMETHODCALLTYPE get_StartLba(LONG* v) override { return Give(v, startLba); }
  HRESULT STDMETHODCALLTYPE get_SectorCount(LONG* v) override { return Give(v, sectorCount); }
  HRESULT STDMETHODCALLTYPE get_LastReadLba(LONG* v) override { return Give(v, lastReadLba); }
  HRESULT STDMETHODCALLTYPE get_LastWrittenLba(LONG* v) override { return Give(v, lastWrittenLba); }
  HRESULT STDMETHODCALLTYPE get_TotalSystemBuffer(LONG* v) override { return Give(v, totalBuffer); }
  HRESULT STDMETHODCALLTYPE get_UsedSystemBuffer(LONG* v) override { return Give(v, usedBuffer); }
  HRESULT STDMETHODCALLTYPE get_FreeSystemBuffer(LONG* v) override { return Give(v, freeBuffer); }
  HRESULT STDMETHODCALLTYPE
  get_CurrentAction(Imapi2::IMAPI_FORMAT2_RAW_CD_WRITE_ACTION* v) override {
    if (!v) return E_POINTER;
    *v = static_cast<Imapi2::IMAPI_FORMAT2_RAW_CD_WRITE_ACTION>(action);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ElapsedTime(LONG* v) override { return Give(v, elapsed); }
  HRESULT STDMETHODCALLTYPE get_RemainingTime(LONG* v) override { return Give(v, remaining); }

  LONG action = 0, elapsed = 0, remaining = 0;
  LONG startLba = 0, sectorCount = 0, lastReadLba = 0, lastWrittenLba = 0;
  LONG totalBuffer = 0, usedBuffer = 0, freeBuffer = 0;

 private:
  static HRESULT Give(LONG* out, LONG value) {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
  }
};

// Hands the write engine's progress to its writer, which owns the sink.
class WriteEngineEvent : public EventSink {
 public:
  explicit WriteEngineEvent(RawFmt* writer)
      : EventSink(Imapi2::DIID_DWriteEngine2Events, Imapi2::DISPID_DWRITEENGINE2EVENTS_UPDATE, 2),
        writer_(writer) {}

 protected:
  HRESULT OnEvent(const VARIANT* args) override {
    if (args[0].vt != VT_DISPATCH || args[1].vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
    return writer_->OnWriteEngineUpdate(args[0].pdispVal, args[1].pdispVal);
  }

 private:
  RawFmt* writer_;  // not counted: the writer owns this sink
};

ComPtr<IDiscRecorder2Ex> ExOf(const ComPtr<IDiscRecorder2>& recorder) {
  ComPtr<IDiscRecorder2Ex> ex;
  recorder.As(ex);
  return ex;
}

HRESULT ReadWriteParameters(IDiscRecorder2Ex* ex, TaskBuffer& page) {
  page.Free();
  const HRESULT hr =
      ex->GetModePage(Imapi2::IMAPI_MODE_PAGE_TYPE_WRITE_PARAMETERS,
                      Imapi2::IMAPI_MODE_PAGE_REQUEST_TYPE_CURRENT_VALUES, &page.data, &page.size);
  if (FAILED(hr)) return hr;
  return page.data && page.size > 0 ? S_OK : E_FAIL;
}

}  // namespace

LONG RawFmt::BytesPerSector() const {
  return sectorType_ == Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_PQ_ONLY ? 2368 : 2448;
}

void RawFmt::SetRawWriteParameters(BYTE* page) const {
  page[2] = bufferUnderrunFree_ ? 0x43 : 0x03;  // raw write type, no test write
  page[3] = 0x00;                               // single session, track mode 0
  page[4] = static_cast<BYTE>(sectorType_);     // data block type 1, 2 or 3
  page[5] = 0x00;                               // link size
}

void RawFmt::SetExpectedTotal(unsigned long long sectors) {
  const LONG speed = currentSpeed_ > 0 ? currentSpeed_ : Mmc::kBaseSpeed;
  progress_.expectedTotal = static_cast<LONG>(
      std::min<unsigned long long>(sectors * 1000 / speed + kFinishMs, 0x7FFFFFFF));
}

HRESULT RawFmt::PrepareMedia() {
  return ComCall([&]() -> HRESULT {
    if (!recorder_) return kNoRecorder;
    if (clientName_.empty()) return E_UNEXPECTED;
    progress_ = Progress();
    progress_.action = Imapi2::IMAPI_FORMAT2_RAW_CD_WRITE_ACTION_PREPARING;
    progress_.startLba = progress_.lastReadLba = progress_.lastWrittenLba = kDefaultLeadIn;
    progress_.sectorCount = 1;
    progress_.startTick = GetTickCount();
    Bstr client(clientName_.c_str());
    HRESULT hr = recorder_->AcquireExclusiveAccess(VARIANT_TRUE, client.Get());
    if (FAILED(hr)) return hr;
    ComPtr<IDiscRecorder2Ex> ex = ExOf(recorder_);
    if (!ex) return E_NOINTERFACE;
    Mmc::Send(ex.Get(), {0x1E, 0x00, 0x00, 0x00, 0x01, 0x00}, Mmc::kShortTimeout);

    hr = ReadWriteParameters(ex.Get(), savedModePage_);
    if (FAILED(hr)) return hr;
    {
      std::vector<BYTE> page(savedModePage_.data, savedModePage_.data + savedModePage_.size);
      if (page.size() >= 6) SetRawWriteParameters(page.data());
      ex->SetModePage(Imapi2::IMAPI_MODE_PAGE_REQUEST_TYPE_CURRENT_VALUES, page.data(),
                      static_cast<ULONG>(page.size()));
    }

    {
      TaskBuffer disc;
      if (SUCCEEDED(ex->GetDiscInformation(&disc.data, &disc.size)) && disc.data &&
          disc.size >= 20) {
        // The whole disc is written from its lead-in: only a blank medium has
        // one to start from (a written disc names no usable start there).
        if ((disc.data[2] & 3) != 0) return Imapi2::E_IMAPI_DF2RAW_MEDIA_IS_NOT_BLANK;
        progress_.startLba =
            LONG(disc.data[17]) * 4500 + LONG(disc.data[18]) * 75 + disc.data[19] - kLeadInBase;
      }
    }

    Mmc::ApplyWriteSpeed(ex.Get(), requestedSpeed_, requestedPureCav_);
    Mmc::WriteSpeed speed;
    currentSpeed_ =
        Mmc::QueryWriteSpeed(recorder_.Get(), speed) == S_OK ? speed.start : Mmc::kBaseSpeed;

    auto* sink = new (std::nothrow) WriteEngineEvent(this);
    if (!sink) return E_OUTOFMEMORY;
    Adopt(engineSink_, static_cast<EventSink*>(sink));
    hr = CoCreateInstance(Imapi2::CLSID_MsftWriteEngine2, nullptr, CLSCTX_ALL,
                          __uuidof(IWriteEngine2), engine_.PutVoid());
    if (FAILED(hr)) return hr;
    hr = engine_->put_Recorder(ex.Get());
    if (FAILED(hr)) return hr;
    return S_OK;
  });
}

HRESULT RawFmt::WriteMedia(IStream* data) {
  if (!recorder_) return kNoRecorder;
  ComPtr<IDiscRecorder2Ex> ex = ExOf(recorder_);
  if (!ex) return E_NOINTERFACE;
  if (!engine_ || !engineSink_) return Imapi2::E_IMAPI_DF2RAW_MEDIA_IS_NOT_PREPARED;
  if (!data) return E_POINTER;
  {
    TaskBuffer page;
    HRESULT hr = ReadWriteParameters(ex.Get(), page);
    if (FAILED(hr)) return hr;
    if (page.size >= 6) SetRawWriteParameters(page.data);
    hr = ex->SetModePage(Imapi2::IMAPI_MODE_PAGE_REQUEST_TYPE_CURRENT_VALUES, page.data, page.size);
    if (FAILED(hr)) return hr;
    hr = ReadWriteParameters(ex.Get(), page);
    if (FAILED(hr)) return hr;
  }
  Mmc::WriteSpeed speed;
  if (Mmc::QueryWriteSpeed(recorder_.Get(), speed) != S_OK) speed = Mmc::WriteSpeed();
  bytesPerSector_ = BytesPerSector();
  engine_->put_BytesPerSector(bytesPerSector_);
  engine_->put_UseStreamingWrite12(VARIANT_FALSE);
  engine_->put_StartingSectorsPerSecond(speed.start);
  engine_->put_EndingSectorsPerSecond(speed.end);
  engineSink_->Advise(engine_.Get());

  LARGE_INTEGER offset;
  offset.QuadPart = static_cast<long long>(-progress_.startLba) * bytesPerSector_;
  HRESULT hr = data->Seek(offset, STREAM_SEEK_SET, nullptr);
  STATSTG stat = {};
  if (SUCCEEDED(hr)) hr = data->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(hr)) {
    engineSink_->Unadvise();
    return hr;
  }
  const unsigned long long at = static_cast<unsigned long long>(offset.QuadPart);
  const unsigned long long sectors =
      stat.cbSize.QuadPart > at ? (stat.cbSize.QuadPart - at) / bytesPerSector_ : 0;
  progress_.sectorCount = static_cast<LONG>(std::min<unsigned long long>(sectors, 0x7FFFFFFF));
  SetExpectedTotal(sectors);

  Mmc::Send(ex.Get(), {0x1B, 0x00, 0x00, 0x00, 0x01, 0x00}, Mmc::kLongTimeout);
  Mmc::Send(ex.Get(), {0x54, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}, Mmc::kLongTimeout);
  const HRESULT written = engine_->WriteSection(data, progress_.startLba, progress_.sectorCount);
  FinishWrite(ex.Get());
  return written;
}

HRESULT RawFmt::WriteMedia2(IStream* data, LONG value) {
  if (!recorder_) return kNoRecorder;
  ComPtr<IDiscRecorder2Ex> ex = ExOf(recorder_);
  if (!ex) return E_NOINTERFACE;
  if (!engine_) return Imapi2::E_IMAPI_DF2RAW_MEDIA_IS_NOT_PREPARED;
  if (!data) return E_POINTER;
  LARGE_INTEGER offset;
  offset.QuadPart = -static_cast<long long>(value);
  data->Seek(offset, STREAM_SEEK_SET, nullptr);
  STATSTG stat = {};
  const HRESULT hr = data->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(hr)) return hr;
  const LONG bytes = BytesPerSector();
  const long long total = static_cast<long long>(stat.cbSize.QuadPart) + value;
  const unsigned long long sectors = total > 0 ? static_cast<unsigned long long>(total) / bytes : 0;
  progress_.startLba = value;
  progress_.sectorCount = static_cast<LONG>(std::min<unsigned long long>(sectors, 0x7FFFFFFF));
  SetExpectedTotal(sectors);
  Mmc::Send(ex.Get(), {0x1B, 0x00, 0x00, 0x00, 0x01, 0x00}, Mmc::kLongTimeout);
  Mmc::Send(ex.Get(), {0x54, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}, Mmc::kLongTimeout);
  const HRESULT written = engine_->WriteSection(data, value, progress_.sectorCount);
  FinishWrite(ex.Get());
  return written;
}

void RawFmt::FinishWrite(IDiscRecorder2Ex* ex) {
  if (engineSink_) engineSink_->Unadvise();
  Mmc::Send(ex, {0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Mmc::kLongTimeout);
  for (int i = 0; i < kSettleTries; ++i) {
    TaskBuffer disc;
    if (SUCCEEDED(ex->GetDiscInformation(&disc.data, &disc.size)) && disc.data && disc.size > 0)
      break;
    Mmc::Send(ex, {0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Mmc::kLongTimeout);
    Sleep(kSettleWaitMs);
  }
}

HRESULT RawFmt::CancelWrite() { return engine_ ? engine_->CancelWrite() : E_UNEXPECTED; }

HRESULT RawFmt::ReleaseMedia() {
  if (!recorder_) return kNoRecorder;
  ComPtr<IDiscRecorder2Ex> ex = ExOf(recorder_);
  if (!ex) return E_NOINTERFACE;
  if (savedModePage_.data && savedModePage_.size >= 2) {
    const ULONG length = std::min<ULONG>(savedModePage_.data[1] + 2u, savedModePage_.size);
    ex->SetModePage(Imapi2::IMAPI_MODE_PAGE_REQUEST_TYPE_CURRENT_VALUES, savedModePage_.data,
                    length);
  }
  savedModePage_.Free();
  Mmc::Send(ex.Get(), {0x1E, 0x00, 0x00, 0x00, 0x00, 0x00}, Mmc::kShortTimeout);
  if (engineSink_) engineSink_->Unadvise();
  engine_.Reset();
  engineSink_.Reset();
  return recorder_->ReleaseExclusiveAccess();
}

HRESULT RawFmt::OnWriteEngineUpdate(IDispatch*, IDispatch* progress) {
  ComPtr<IWriteEngine2EventArgs> args;
  if (!progress ||
      progress->QueryInterface(__uuidof(IWriteEngine2EventArgs), args.PutVoid()) != S_OK)
    return S_OK;
  Progress& p = progress_;
  p.action = Imapi2::IMAPI_FORMAT2_RAW_CD_WRITE_ACTION_WRITING;
  args->get_StartLba(&p.startLba);
  args->get_SectorCount(&p.sectorCount);
  args->get_LastReadLba(&p.lastReadLba);
  args->get_LastWrittenLba(&p.lastWrittenLba);
  args->get_TotalSystemBuffer(&p.totalBuffer);
  args->get_UsedSystemBuffer(&p.usedBuffer);
  args->get_FreeSystemBuffer(&p.freeBuffer);
  const DWORD now = GetTickCount();
  p.elapsed = static_cast<LONG>(now - p.startTick);
  if (p.clockTick == 0) {
    p.clockTick = now;
    p.clockLba = p.lastWrittenLba;
  }
  const DWORD clock = now - p.clockTick;
  const long long done = static_cast<long long>(p.lastWrittenLba) - p.clockLba;
  if (clock >= kRateClockMs && done > 0) {
    const long long left = std::max<long long>(
        0, static_cast<long long>(p.startLba) + p.sectorCount - p.lastWrittenLba);
    p.remaining =
        static_cast<LONG>(std::min<long long>(left * clock / done + kRateMarginMs, 0x7FFFFFFF));
    p.expectedTotal = p.elapsed + p.remaining;
  } else {
    p.remaining = std::max<LONG>(0, p.expectedTotal - p.elapsed);
  }

  auto* event = new (std::nothrow) RawCdEventArgs;
  if (!event) return S_OK;
  event->action = p.action;
  event->elapsed = p.elapsed;
  event->remaining = p.remaining;
  event->startLba = p.startLba;
  event->sectorCount = p.sectorCount;
  event->lastReadLba = p.lastReadLba;
  event->lastWrittenLba = p.lastWrittenLba;
  event->totalBuffer = p.totalBuffer;
  event->usedBuffer = p.usedBuffer;
  event->freeBuffer = p.freeBuffer;
  ComPtr<IDispatch> hold;
  Adopt(hold, static_cast<IDispatch*>(event));
  return Fire_Update(Self(), hold.Get());
}

HRESULT RawFmt::Fire_Update(IDispatch* object, IDispatch* progress) {
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  args[0].vt = VT_DISPATCH;
  args[0].pdispVal = progress;
  args[1].vt = VT_DISPATCH;
  args[1].pdispVal = object;
  return events_.Fire(Imapi2::DISPID_DDISCFORMAT2RAWCDEVENTS_UPDATE, args, 2);
}

}  // namespace Recorder
