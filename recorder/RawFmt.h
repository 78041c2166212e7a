#pragma once
// The raw-CD writer's object, private to the recorder sources: its
// properties and medium queries (RawFmt.cpp) and its writing (RawFmtWrite.cpp).
#include <string>

#include "common/ComPtr.h"
#include "recorder/ComSupport.h"
#include "recorder/Mmc.h"

namespace Recorder {

// What a call that needs the recorder answers before one is set.
constexpr HRESULT kNoRecorder = Imapi2::E_IMAPI_DF2RAW_NO_RECORDER_SPECIFIED;

class RawFmt : public RefCount,
               public DualInterface<IDiscFormat2RawCD>,
               public IConnectionPointContainer {
 public:
  RawFmt();
  ~RawFmt() override;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }

  // IDiscFormat2
  HRESULT STDMETHODCALLTYPE IsRecorderSupported(IDiscRecorder2* recorder,
                                                VARIANT_BOOL* value) override;
  HRESULT STDMETHODCALLTYPE IsCurrentMediaSupported(IDiscRecorder2* recorder,
                                                    VARIANT_BOOL* value) override;
  HRESULT STDMETHODCALLTYPE get_MediaPhysicallyBlank(VARIANT_BOOL* value) override;
  HRESULT STDMETHODCALLTYPE get_MediaHeuristicallyBlank(VARIANT_BOOL* value) override;
  HRESULT STDMETHODCALLTYPE get_SupportedMediaTypes(SAFEARRAY** value) override;

  // IDiscFormat2RawCD
  HRESULT STDMETHODCALLTYPE PrepareMedia() override;
  HRESULT STDMETHODCALLTYPE WriteMedia(IStream* data) override;
  HRESULT STDMETHODCALLTYPE WriteMedia2(IStream* data, LONG streamLeadInSectors) override;
  HRESULT STDMETHODCALLTYPE CancelWrite() override;
  HRESULT STDMETHODCALLTYPE ReleaseMedia() override;
  HRESULT STDMETHODCALLTYPE SetWriteSpeed(LONG sectorsPerSecond, VARIANT_BOOL pureCav) override;
  HRESULT STDMETHODCALLTYPE put_Recorder(IDiscRecorder2* value) override;
  HRESULT STDMETHODCALLTYPE get_Recorder(IDiscRecorder2** value) override;
  HRESULT STDMETHODCALLTYPE put_BufferUnderrunFreeDisabled(VARIANT_BOOL value) override;
  HRESULT STDMETHODCALLTYPE get_BufferUnderrunFreeDisabled(VARIANT_BOOL* value) override;
  HRESULT STDMETHODCALLTYPE get_StartOfNextSession(LONG* value) override;
  HRESULT STDMETHODCALLTYPE get_LastPossibleStartOfLeadout(LONG* value) override;
  HRESULT STDMETHODCALLTYPE
  get_CurrentPhysicalMediaType(Imapi2::IMAPI_MEDIA_PHYSICAL_TYPE* value) override;
  HRESULT STDMETHODCALLTYPE get_SupportedSectorTypes(SAFEARRAY** value) override;
  HRESULT STDMETHODCALLTYPE
  put_RequestedSectorType(Imapi2::IMAPI_FORMAT2_RAW_CD_DATA_SECTOR_TYPE value) override;
  HRESULT STDMETHODCALLTYPE
  get_RequestedSectorType(Imapi2::IMAPI_FORMAT2_RAW_CD_DATA_SECTOR_TYPE* value) override;
  HRESULT STDMETHODCALLTYPE put_ClientName(BSTR value) override;
  HRESULT STDMETHODCALLTYPE get_ClientName(BSTR* value) override;
  HRESULT STDMETHODCALLTYPE get_RequestedWriteSpeed(LONG* value) override;
  HRESULT STDMETHODCALLTYPE get_RequestedRotationTypeIsPureCAV(VARIANT_BOOL* value) override;
  HRESULT STDMETHODCALLTYPE get_CurrentWriteSpeed(LONG* value) override;
  HRESULT STDMETHODCALLTYPE get_CurrentRotationTypeIsPureCAV(VARIANT_BOOL* value) override;
  HRESULT STDMETHODCALLTYPE get_SupportedWriteSpeeds(SAFEARRAY** value) override;
  HRESULT STDMETHODCALLTYPE get_SupportedWriteSpeedDescriptors(SAFEARRAY** value) override;

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

  // One progress event of the write engine.
  HRESULT OnWriteEngineUpdate(IDispatch* object, IDispatch* progress);

 private:
  struct Progress {
    LONG action = 0, elapsed = 0, remaining = 0, expectedTotal = 0;
    LONG startLba = 0, sectorCount = 0, lastReadLba = 0, lastWrittenLba = 0;
    LONG totalBuffer = 0, usedBuffer = 0, freeBuffer = 0;
    LONG clockLba = 0;
    DWORD clockTick = 0, startTick = 0;
  };

  HRESULT QueryMediaInfo() { return Mmc::QueryMediaInfo(recorder_.Get(), media_); }
  // The answer of a property that needs the recorder: the value that `give`
  // makes, after `ask` (the query the value comes from) succeeded.
  template <class T, class Ask, class Give>
  HRESULT Answer(T* out, Ask ask, Give give) {
    if (!recorder_) return kNoRecorder;
    if (!out) return E_POINTER;
    const HRESULT hr = ask();
    if (FAILED(hr)) return hr;
    return give(*out);
  }
  template <class T>
  HRESULT Answer(T* out, T value) {
    return Answer(
        out, [] { return S_OK; },
        [value](T& v) {
          v = value;
          return S_OK;
        });
  }
  // The same after the medium information was refreshed, or the write speed queried.
  template <class T, class Give>
  HRESULT AnswerFromMedium(T* out, Give give) {
    return Answer(
        out, [this] { return QueryMediaInfo(); }, give);
  }
  template <class T, class Give>
  HRESULT AnswerFromSpeed(T* out, Give give) {
    return Answer(
        out, [this] { return Mmc::QueryWriteSpeed(recorder_.Get(), speed_); }, give);
  }
  // The write parameters page in raw disc-at-once mode for the requested sector type.
  void SetRawWriteParameters(BYTE* page) const;
  LONG BytesPerSector() const;
  void SetExpectedTotal(unsigned long long sectors);
  // The engine's end of a write: disconnect, flush the drive's cache and wait
  // until the disc answers again.
  void FinishWrite(IDiscRecorder2Ex* ex);
  HRESULT Fire_Update(IDispatch* object, IDispatch* progress);
  IDispatch* Self() { return static_cast<IDiscFormat2RawCD*>(this); }

  ComPtr<IDiscRecorder2> recorder_;
  Mmc::Features features_;
  Mmc::MediaInfo media_;
  Mmc::WriteSpeed speed_;  // of the last query
  std::wstring clientName_;
  bool bufferUnderrunFree_ = true;
  LONG requestedSpeed_ = -1;
  bool requestedPureCav_ = false;
  Imapi2::IMAPI_FORMAT2_RAW_CD_DATA_SECTOR_TYPE sectorType_ =
      Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_PQ_ONLY;
  Progress progress_;
  LONG currentSpeed_ = Mmc::kBaseSpeed;
  ComPtr<EventSink> engineSink_;
  ComPtr<IWriteEngine2> engine_;
  LONG bytesPerSector_ = 2368;
  TaskBuffer savedModePage_;
  ConnectionPoint events_;
};

}  // namespace Recorder
