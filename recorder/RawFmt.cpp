#include "recorder/RawFmt.h"

#include <new>

#include "recorder/RawCdWriter.h"

namespace Recorder {
namespace {

VARIANT_BOOL Bool(bool b) { return b ? VARIANT_TRUE : VARIANT_FALSE; }

class WriteSpeedDescriptorImpl : public RefCount, public DualInterface<IWriteSpeedDescriptor> {
 public:
  WriteSpeedDescriptorImpl(Imapi2::IMAPI_MEDIA_PHYSICAL_TYPE type, LONG speed, bool pureCav)
      : type_(type), speed_(speed), pureCav_(pureCav) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return GiveInterface(static_cast<IWriteSpeedDescriptor*>(this),
                         IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
                             IsEqualIID(iid, __uuidof(IWriteSpeedDescriptor)),
                         out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }
  HRESULT STDMETHODCALLTYPE get_MediaType(Imapi2::IMAPI_MEDIA_PHYSICAL_TYPE* value) override {
    if (!value) return E_POINTER;
    *value = type_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_RotationTypeIsPureCAV(VARIANT_BOOL* value) override {
    if (!value) return E_POINTER;
    *value = Bool(pureCav_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_WriteSpeed(LONG* value) override {
    if (!value) return E_POINTER;
    *value = speed_;
    return S_OK;
  }

 private:
  Imapi2::IMAPI_MEDIA_PHYSICAL_TYPE type_;
  LONG speed_;
  bool pureCav_;
};

}  // namespace

IDiscFormat2RawCD* CreateRawCdWriter() {
  RawFmt* writer = new (std::nothrow) RawFmt;
  return writer;
}

RawFmt::RawFmt() : events_(this, Imapi2::DIID_DDiscFormat2RawCDEvents) {}

RawFmt::~RawFmt() {
  engine_.Reset();
  engineSink_.Reset();
  recorder_.Reset();
  events_.Clear();
}

HRESULT RawFmt::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, __uuidof(IDiscFormat2)) || IsEqualIID(iid, __uuidof(IDiscFormat2RawCD))) {
    *out = static_cast<IDiscFormat2RawCD*>(this);
  } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
    *out = static_cast<IConnectionPointContainer*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT RawFmt::IsRecorderSupported(IDiscRecorder2* recorder, VARIANT_BOOL* value) {
  if (!value) return E_POINTER;
  *value = VARIANT_FALSE;
  if (!recorder) return E_INVALIDARG;
  Mmc::Features features;
  const HRESULT hr = Mmc::QueryFeatures(recorder, features);
  if (FAILED(hr)) return hr;
  *value = Bool(features.raw);
  return S_OK;
}

HRESULT RawFmt::IsCurrentMediaSupported(IDiscRecorder2* recorder, VARIANT_BOOL* value) {
  if (!value) return E_POINTER;
  *value = VARIANT_FALSE;
  if (!recorder) return E_INVALIDARG;
  std::vector<BYTE> profiles;
  const HRESULT hr = Mmc::QueryCurrentProfiles(recorder, profiles);
  if (FAILED(hr)) return hr;
  for (BYTE p : profiles)
    if (p == Imapi2::IMAPI_PROFILE_TYPE_CD_RECORDABLE ||
        p == Imapi2::IMAPI_PROFILE_TYPE_CD_REWRITABLE)
      *value = VARIANT_TRUE;
  return S_OK;
}

HRESULT RawFmt::get_MediaPhysicallyBlank(VARIANT_BOOL* value) {
  if (!recorder_) return E_NOINTERFACE;
  if (!value) return E_POINTER;
  *value = VARIANT_FALSE;
  const HRESULT hr = QueryMediaInfo();
  if (FAILED(hr)) return hr;
  *value = Bool(media_.physicallyBlank);
  return S_OK;
}

HRESULT RawFmt::get_MediaHeuristicallyBlank(VARIANT_BOOL* value) {
  if (value) *value = VARIANT_FALSE;
  return AnswerFromMedium(value, [this](VARIANT_BOOL& v) {
    v = Bool(media_.heuristicallyBlank);
    return S_OK;
  });
}

HRESULT RawFmt::get_SupportedMediaTypes(SAFEARRAY** value) {
  return ComCall([&]() -> HRESULT {
    if (!value) return E_POINTER;
    *value = VariantArray(VT_I4, {Imapi2::IMAPI_MEDIA_TYPE_CDRW, Imapi2::IMAPI_MEDIA_TYPE_CDR});
    return *value ? S_OK : E_OUTOFMEMORY;
  });
}

HRESULT RawFmt::SetWriteSpeed(LONG sectorsPerSecond, VARIANT_BOOL pureCav) {
  if (!recorder_) return kNoRecorder;
  requestedSpeed_ = sectorsPerSecond;
  requestedPureCav_ = pureCav == VARIANT_TRUE;
  ComPtr<IDiscRecorder2Ex> ex;
  if (recorder_.As(ex) != S_OK) return E_NOINTERFACE;
  return Mmc::ApplyWriteSpeed(ex.Get(), requestedSpeed_, requestedPureCav_);
}

HRESULT RawFmt::put_Recorder(IDiscRecorder2* value) {
  if (!value) return E_INVALIDARG;
  const HRESULT hr = Mmc::QueryFeatures(value, features_);
  if (FAILED(hr)) return hr;
  value->AddRef();
  *recorder_.Put() = value;
  sectorType_ = features_.rwSubchannel ? Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_IS_RAW
                                       : Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_PQ_ONLY;
  Mmc::WriteSpeed speed;
  if (Mmc::QueryWriteSpeed(value, speed) == S_OK) {
    requestedSpeed_ = speed.start;
    requestedPureCav_ = speed.pureCav;
  }
  return hr;
}

HRESULT RawFmt::get_Recorder(IDiscRecorder2** value) {
  if (!value) return E_POINTER;
  *value = recorder_.Get();
  if (*value) (*value)->AddRef();
  return S_OK;
}

HRESULT RawFmt::put_BufferUnderrunFreeDisabled(VARIANT_BOOL value) {
  if (!recorder_) return kNoRecorder;
  if (features_.bufferUnderrunFree) {
    bufferUnderrunFree_ = value == VARIANT_FALSE;
  } else {
    if (value == VARIANT_FALSE) return E_INVALIDARG;
    bufferUnderrunFree_ = false;
  }
  return S_OK;
}

HRESULT RawFmt::get_BufferUnderrunFreeDisabled(VARIANT_BOOL* value) {
  return Answer(value, Bool(!bufferUnderrunFree_));
}

HRESULT RawFmt::get_StartOfNextSession(LONG* value) {
  return AnswerFromMedium(value, [this](LONG& v) {
    if (!media_.heuristicallyBlank && !media_.erasable) return E_FAIL;
    v = 0;
    return S_OK;
  });
}

HRESULT RawFmt::get_LastPossibleStartOfLeadout(LONG* value) {
  return AnswerFromMedium(value, [this](LONG& v) {
    if (!media_.heuristicallyBlank && !media_.erasable) return E_FAIL;
    v = media_.lastLeadOutStart;
    return S_OK;
  });
}

HRESULT RawFmt::get_CurrentPhysicalMediaType(Imapi2::IMAPI_MEDIA_PHYSICAL_TYPE* value) {
  return AnswerFromMedium(value, [this](Imapi2::IMAPI_MEDIA_PHYSICAL_TYPE& v) {
    v = media_.profile == Imapi2::IMAPI_PROFILE_TYPE_CD_RECORDABLE ? Imapi2::IMAPI_MEDIA_TYPE_CDR
        : media_.profile == Imapi2::IMAPI_PROFILE_TYPE_CD_REWRITABLE
            ? Imapi2::IMAPI_MEDIA_TYPE_CDRW
            : Imapi2::IMAPI_MEDIA_TYPE_UNKNOWN;
    return S_OK;
  });
}

HRESULT RawFmt::get_SupportedSectorTypes(SAFEARRAY** value) {
  return ComCall([&]() -> HRESULT {
    if (!recorder_) return kNoRecorder;
    if (!value) return E_POINTER;
    std::vector<LONG> types = {Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_PQ_ONLY};
    if (features_.rwSubchannel) {
      types.push_back(Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_IS_COOKED);
      types.push_back(Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_IS_RAW);
    }
    *value = VariantArray(VT_UI4, types);
    return *value ? S_OK : E_OUTOFMEMORY;
  });
}

HRESULT RawFmt::put_RequestedSectorType(Imapi2::IMAPI_FORMAT2_RAW_CD_DATA_SECTOR_TYPE value) {
  if (!recorder_) return kNoRecorder;
  const bool rw = value == Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_IS_COOKED ||
                  value == Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_IS_RAW;
  if (value != Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_PQ_ONLY && !(rw && features_.rwSubchannel))
    return E_INVALIDARG;
  sectorType_ = value;
  return S_OK;
}

HRESULT RawFmt::get_RequestedSectorType(Imapi2::IMAPI_FORMAT2_RAW_CD_DATA_SECTOR_TYPE* value) {
  return Answer(value, sectorType_);
}

HRESULT RawFmt::put_ClientName(BSTR value) {
  return ComCall([&]() -> HRESULT {
    if (!value) return E_POINTER;
    clientName_.assign(value, SysStringLen(value));
    return S_OK;
  });
}

HRESULT RawFmt::get_ClientName(BSTR* value) {
  if (!value) return E_POINTER;
  *value = nullptr;
  if (clientName_.empty()) return E_FAIL;
  *value = SysAllocStringLen(clientName_.data(), static_cast<UINT>(clientName_.size()));
  return *value ? S_OK : E_OUTOFMEMORY;
}

HRESULT RawFmt::get_RequestedWriteSpeed(LONG* value) { return Answer(value, requestedSpeed_); }

HRESULT RawFmt::get_RequestedRotationTypeIsPureCAV(VARIANT_BOOL* value) {
  return Answer(value, Bool(requestedPureCav_));
}

HRESULT RawFmt::get_CurrentWriteSpeed(LONG* value) {
  return AnswerFromSpeed(value, [this](LONG& v) {
    v = speed_.start;
    return S_OK;
  });
}

HRESULT RawFmt::get_CurrentRotationTypeIsPureCAV(VARIANT_BOOL* value) {
  return AnswerFromSpeed(value, [this](VARIANT_BOOL& v) {
    v = Bool(speed_.pureCav);
    return S_OK;
  });
}

HRESULT RawFmt::get_SupportedWriteSpeeds(SAFEARRAY** value) {
  return ComCall([&]() -> HRESULT {
    if (!recorder_) return kNoRecorder;
    if (!value) return E_POINTER;
    *value = nullptr;
    std::vector<Mmc::SpeedDescriptor> list;
    const HRESULT hr = Mmc::QueryWriteSpeedDescriptors(recorder_.Get(), list);
    if (FAILED(hr)) return hr;
    std::vector<LONG> speeds;
    for (const auto& d : list) speeds.push_back(d.sectorsPerSecond);
    *value = VariantArray(VT_I4, speeds);
    return *value ? S_OK : E_OUTOFMEMORY;
  });
}

HRESULT RawFmt::get_SupportedWriteSpeedDescriptors(SAFEARRAY** value) {
  if (!recorder_) return kNoRecorder;
  if (!value) return E_POINTER;
  *value = nullptr;
  if (FAILED(QueryMediaInfo())) return E_UNEXPECTED;
  Imapi2::IMAPI_MEDIA_PHYSICAL_TYPE type;
  if (media_.profile == Imapi2::IMAPI_PROFILE_TYPE_CD_RECORDABLE)
    type = Imapi2::IMAPI_MEDIA_TYPE_CDR;
  else if (media_.profile == Imapi2::IMAPI_PROFILE_TYPE_CD_REWRITABLE)
    type = Imapi2::IMAPI_MEDIA_TYPE_CDRW;
  else
    return E_UNEXPECTED;
  std::vector<Mmc::SpeedDescriptor> list;
  HRESULT hr = Mmc::QueryWriteSpeedDescriptors(recorder_.Get(), list);
  if (FAILED(hr)) return hr;
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(list.size()));
  if (!array) return E_OUTOFMEMORY;
  for (LONG i = 0; i < static_cast<LONG>(list.size()); ++i) {
    auto* descriptor = new (std::nothrow)
        WriteSpeedDescriptorImpl(type, list[i].sectorsPerSecond, list[i].pureCav);
    if (!descriptor) {
      SafeArrayDestroy(array);
      return E_OUTOFMEMORY;
    }
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = descriptor;  // the array takes a reference of its own
    hr = SafeArrayPutElement(array, &i, &v);
    VariantClear(&v);
    if (FAILED(hr)) {
      SafeArrayDestroy(array);
      return hr;
    }
  }
  *value = array;
  return S_OK;
}

HRESULT RawFmt::EnumConnectionPoints(IEnumConnectionPoints** out) { return events_.Enumerate(out); }

HRESULT RawFmt::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  return events_.Find(iid, out);
}

}  // namespace Recorder
