#include "recorder/RecorderSinks.h"

#include <algorithm>

#include "common/ComPtr.h"
#include "engine/cd/imapi2/Imapi2.h"
#include "wizard/jobs/Action.h"

namespace Recorder {
namespace {

void PostProgress(HWND notify, int position) {
  PostMessageW(notify, WM_JOB_NOTIFY, JOB_PROGRESS, static_cast<LPARAM>(position));
}

bool AsLong(const VARIANT& in, LONG& out) {
  VARIANT v;
  VariantInit(&v);
  if (VariantChangeType(&v, const_cast<VARIANT*>(&in), 0, VT_I4) != S_OK) return false;
  out = v.lVal;
  return true;
}

}  // namespace

EraserEvent::EraserEvent()
    : EventSink(Imapi2::DIID_DDiscFormat2EraseEvents, Imapi2::DISPID_DDISCFORMAT2ERASEEVENTS_UPDATE,
                3) {}

HRESULT EraserEvent::OnEvent(const VARIANT* args) {
  LONG elapsed = 0, expected = 0;
  if (!AsLong(args[1], elapsed) || !AsLong(args[2], expected)) return DISP_E_TYPEMISMATCH;
  return Update(args[0].vt == VT_DISPATCH ? args[0].pdispVal : nullptr, elapsed, expected);
}

HRESULT EraserEvent::Update(IDispatch*, LONG elapsed, LONG expected) {
  // Without an expected time nothing is known of the erase's progress.
  const long long position =
      expected > 0 ? static_cast<long long>(elapsed) * kEraseSteps / expected : 0;
  PostProgress(notify_, static_cast<int>(std::clamp<long long>(position, 0, kEraseSteps)));
  return S_OK;
}

RawWriterEvent::RawWriterEvent()
    : EventSink(Imapi2::DIID_DDiscFormat2RawCDEvents, Imapi2::DISPID_DDISCFORMAT2RAWCDEVENTS_UPDATE,
                2) {}

void RawWriterEvent::SetSinkTarget(HWND notify, const std::atomic<bool>* stop, int offset) {
  notify_ = notify;
  stop_ = stop;
  offset_ = offset;
}

HRESULT RawWriterEvent::OnEvent(const VARIANT* args) {
  if (args[0].vt != VT_DISPATCH || args[1].vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
  return Update(args[0].pdispVal, args[1].pdispVal);
}

HRESULT RawWriterEvent::Update(IDispatch* object, IDispatch* progress) {
  ComPtr<IDiscFormat2RawCDEventArgs> args;
  ComPtr<IDiscFormat2RawCD> writer;
  if (!progress || !object ||
      progress->QueryInterface(__uuidof(IDiscFormat2RawCDEventArgs), args.PutVoid()) != S_OK ||
      object->QueryInterface(__uuidof(IDiscFormat2RawCD), writer.PutVoid()) != S_OK)
    return S_OK;
  Imapi2::IMAPI_FORMAT2_RAW_CD_WRITE_ACTION action;
  if (FAILED(args->get_CurrentAction(&action))) return S_OK;
  action_ = action;
  int position = 0;
  if (action == Imapi2::IMAPI_FORMAT2_RAW_CD_WRITE_ACTION_WRITING ||
      action == Imapi2::IMAPI_FORMAT2_RAW_CD_WRITE_ACTION_FINISHING) {
    args->get_ElapsedTime(&elapsed_);
    args->get_RemainingTime(&remaining_);
  }
  if (action == Imapi2::IMAPI_FORMAT2_RAW_CD_WRITE_ACTION_WRITING) {
    args->get_StartLba(&startLba_);
    args->get_SectorCount(&sectorCount_);
    args->get_LastReadLba(&lastReadLba_);
    args->get_LastWrittenLba(&lastWrittenLba_);
    args->get_TotalSystemBuffer(&totalBuffer_);
    args->get_UsedSystemBuffer(&usedBuffer_);
    args->get_FreeSystemBuffer(&freeBuffer_);
    if (sectorCount_ > 0)
      position = static_cast<int>(std::clamp<long long>(
          (static_cast<long long>(lastWrittenLba_) - startLba_) * kWriteSteps / sectorCount_, 0,
          kWriteSteps));
  } else if (action == Imapi2::IMAPI_FORMAT2_RAW_CD_WRITE_ACTION_FINISHING) {
    position = kWriteSteps;  // every sector is written while the disc is closed
  }
  PostProgress(notify_, position + offset_);
  if (stop_ && stop_->load()) writer->CancelWrite();
  return S_OK;
}

}  // namespace Recorder
