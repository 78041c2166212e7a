#include "recorder/RecorderData.h"

#include <objbase.h>

#include <exception>
#include <new>

#include "common/Localizer.h"
#include "engine/cd/CdDevice.h"
#include "recorder/CdText.h"
#include "recorder/MainChannelReader.h"
#include "recorder/RawCdWriter.h"
#include "recorder/RawStream.h"
#include "recorder/RecorderSinks.h"
#include "wizard/jobs/WorkerScope.h"

namespace {

const wchar_t kClientName[] = L"TAVRIN";
const wchar_t kStreamName[] = L"TAVRINStream";
const wchar_t kPlatformWriter[] = L"MsftDiscFormat2RawCD";

const wchar_t kErrCreateErase[] = L"Windows Recording engine error (erase){ERR_CI_ERASE}";
const wchar_t kErrEraseSelect[] =
    L"Windows Recording engine error (SelectRecorder){ERR_ERASE_SELECT}";
const wchar_t kErrEraseClient[] =
    L"Windows Recording engine error (SetClientName){ERR_ERASE_CLIENT}";
const wchar_t kErrErase[] = L"Windows Recording engine error (Erase){ERR_ERASE}";
const wchar_t kErrCreateWriter[] =
    L"Windows Recording engine error (RAW DAO Writer){ERR_CI_RAWDAO}";
const wchar_t kErrWriterPut[] = L"Windows Recording engine error (PutRecorder){ERR_RAWDAO_PUT}";
const wchar_t kErrWriterClient[] =
    L"Windows Recording engine error (SetClientName){ERR_RAWDAO_CLIENT}";
const wchar_t kErrRecorder[] =
    L"Windows Recording engine error (Unsupported Recorder){ERR_RAWDAO_UNSUPPREC}";
const wchar_t kErrMedium[] =
    L"Windows Recording engine error (Unsupported Medium){ERR_RAWDAO_UNSUPPMED}";
const wchar_t kErrPrepare[] = L"Windows Recording engine error (Prepare Media){ERR_RAWDAO_PREPARE}";
const wchar_t kErrSectorType[] =
    L"Windows Recording engine error (Invalid Sector Type){ERR_RAWDAO_SECTYPE}";
const wchar_t kErrWrite[] = L"Windows Recording engine error (Write failed){ERR_RAWDAO_WRITE}";
const wchar_t kRecorded[] = L"Your CD has been successfully recorded{SUCCESS_RECORD}";

const int kWriteModeOff = 1, kWriteModeOn = 2;

}  // namespace

RecorderData::RecorderData() = default;

RecorderData::RecorderData(RecorderSystemCalls calls) : calls_(calls) {}

// The shutdown-block reason goes after the worker has stopped.
RecorderData::~RecorderData() { StopWorker(); }

int RecorderData::Start(HWND notify, CWizardInfo info) {
  if (!Setup(notify, info)) return 0;
  if (!MayRecordOnBattery(notify, calls_)) return 0;
  if (!StartThread()) return 0;
  shutdownBlock_.Set(info->sheetWindow);
  return range_;
}

bool RecorderData::Finish() {
  StopWorker();
  shutdownBlock_.Drop();
  return succeeded_;
}

bool RecorderData::Setup(HWND notify, CWizardInfo info) {
  const int drive = info->restoreTarget;
  const std::size_t disc = info->discQueue.empty() ? 0 : std::size_t(info->discQueue.front());
  if (drive < 1 || drive > 26 || disc >= info->discs.size()) return false;
  notify_ = notify;
  driveNumber_ = drive;
  backupPath_ = info->backupPath;
  discIndex_ = disc;
  discs_ = info->discs;
  eraseFirst_ = info->eraseFirst;
  cdText_ =
      info->writeMode == kWriteModeOn || (info->writeMode != kWriteModeOff && info->cdTextCapable);
  writeEngine_ = info->writeEngine;
  if (cdText_)
    cdTextBytes_ = Recorder::BuildCdText(discs_[discIndex_].disc, discs_[discIndex_].toc);
  else
    cdTextBytes_.clear();
  return true;
}

bool RecorderData::StartThread() {
  if (discs_.empty()) return false;
  range_ = Recorder::kWriteSteps + (eraseFirst_ ? Recorder::kEraseSteps : 0);
  return Launch([this] { ThreadProc(); });
}

void RecorderData::ThreadProc() {
  WorkerScope worker("Recorder Thread");
  try {
    Record();
  } catch (const std::exception&) {
    // Each step sets its own text; the job only stays unsuccessful.
  }
  discs_.clear();
  Done();
}

void RecorderData::Fail(const wchar_t* literal, HRESULT hr, bool withSystemText) {
  if (!text_.empty()) return;
  text_ = Localizer::Translate(literal);
  if (!withSystemText) return;
  const std::wstring system = CdDevice::GetImapiErrorText(hr);
  if (!system.empty()) text_ += L": " + system;
}

void RecorderData::Erase(HRESULT& hr) {
  auto* sink = new (std::nothrow) Recorder::EraserEvent;
  if (!sink) {
    hr = E_OUTOFMEMORY;
    return;
  }
  *eraseSink_.Put() = sink;
  eraseSink_->SetWindow(notify_);
  hr = CoCreateInstance(Imapi2::CLSID_MsftDiscFormat2Erase, nullptr, CLSCTX_ALL,
                        __uuidof(IDiscFormat2Erase), eraser_.PutVoid());
  if (FAILED(hr)) Fail(kErrCreateErase, hr);
  if (SUCCEEDED(hr)) {
    hr = eraser_->put_Recorder(recorder_.Get());
    if (FAILED(hr)) Fail(kErrEraseSelect, hr);
  }
  if (SUCCEEDED(hr)) {
    Bstr client(kClientName);
    hr = eraser_->put_ClientName(client.Get());
    if (FAILED(hr)) Fail(kErrEraseClient, hr);
  }
  if (SUCCEEDED(hr)) hr = eraser_->put_FullErase(VARIANT_FALSE);
  if (SUCCEEDED(hr)) {
    eraseSink_->Advise(eraser_.Get());
    hr = eraser_->EraseMedia();
    if (FAILED(hr)) Fail(kErrErase, hr);
  }
  eraseSink_->Unadvise();
  eraseSink_.Reset();
  eraser_.Reset();
}

void RecorderData::Record() {
  const wchar_t letter = static_cast<wchar_t>(L'A' - 1 + driveNumber_);
  const auto recorders = CdDevice::FindRecorders(letter);
  if (recorders.empty()) return;
  recorder_ = recorders.front();
  HRESULT hr = S_OK;
  try {
    // The audio is opened and its first sectors decoded before anything touches
    // the disc: a backup that cannot give them leaves a rewritable disc as it was.
    const BackupDisc& disc = discs_[discIndex_];
    std::unique_ptr<Recorder::MainChannelReader> source = Recorder::CreateMainChannelReader(
        backupPath_, static_cast<int32_t>(static_cast<std::streamoff>(disc.audioStart)),
        disc.audioSize, disc.toc, cdTextBytes_);
    if (!source) {
      hr = STG_E_READFAULT;
      Fail(kErrWrite, hr);
    }
    // A stop before a step that changes the disc ends the job there, so that a
    // Cancel never starts an erase or a write; an erase under way is not broken off.
    bool stopped = Stopping();
    if (SUCCEEDED(hr) && eraseFirst_ && !stopped) Erase(hr);

    if (SUCCEEDED(hr)) {
      auto* stream = new Recorder::RawStream(std::move(source), cdText_, kStreamName, 0, &hr);
      if (SUCCEEDED(hr)) hr = stream->QueryInterface(IID_IStream, stream_.PutVoid());
      stream->Release();
    }
    if (SUCCEEDED(hr)) {
      auto* sink = new (std::nothrow) Recorder::RawWriterEvent;
      if (sink) {
        *writeSink_.Put() = sink;
        writeSink_->SetSinkTarget(notify_, &StopFlag(), eraseFirst_ ? Recorder::kEraseSteps : 0);
      } else {
        hr = E_OUTOFMEMORY;
      }
    }
    if (SUCCEEDED(hr)) {
      if (writeEngine_ == kPlatformWriter) {
        hr = CoCreateInstance(Imapi2::CLSID_MsftDiscFormat2RawCD, nullptr, CLSCTX_ALL,
                              __uuidof(IDiscFormat2RawCD), writer_.PutVoid());
      } else {
        *writer_.Put() = Recorder::CreateRawCdWriter();
        hr = writer_ ? S_OK : E_FAIL;
      }
      if (FAILED(hr)) Fail(kErrCreateWriter, hr);
    }
    if (SUCCEEDED(hr)) {
      hr = writer_->put_Recorder(recorder_.Get());
      if (FAILED(hr)) Fail(kErrWriterPut, hr);
    }
    if (SUCCEEDED(hr)) {
      Bstr client(kClientName);
      hr = writer_->put_ClientName(client.Get());
      if (FAILED(hr)) Fail(kErrWriterClient, hr);
    }
    for (const auto& check : {std::make_pair(&IDiscFormat2::IsRecorderSupported, kErrRecorder),
                              std::make_pair(&IDiscFormat2::IsCurrentMediaSupported, kErrMedium)}) {
      if (FAILED(hr)) break;
      VARIANT_BOOL supported = VARIANT_FALSE;
      hr = (writer_.Get()->*check.first)(recorder_.Get(), &supported);
      if (FAILED(hr)) {
        Fail(check.second, hr);
      } else if (supported != VARIANT_TRUE) {
        hr = E_FAIL;
        Fail(check.second, hr, false);
      }
    }
    stopped = stopped || Stopping();
    if (SUCCEEDED(hr) && !stopped) {
      hr = writer_->PrepareMedia();
      if (FAILED(hr)) Fail(kErrPrepare, hr);
    }
    if (SUCCEEDED(hr) && !stopped) {
      hr = writer_->put_RequestedSectorType(cdText_ ? Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_IS_RAW
                                                    : Imapi2::IMAPI_FORMAT2_RAW_CD_SUBCODE_PQ_ONLY);
      if (FAILED(hr)) Fail(kErrSectorType, hr);
    }
    if (SUCCEEDED(hr) && !stopped) {
      writeSink_->Advise(writer_.Get());
      hr = S_OK;
      stopped = Stopping();
      if (!stopped) {
        hr = writer_->WriteMedia(stream_.Get());
        if (FAILED(hr)) Fail(kErrWrite, hr);
      }
    }
  } catch (const std::exception&) {
    hr = E_FAIL;  // the clean-up below still runs
  }

  if (writeSink_) {
    writeSink_->Unadvise();
    writeSink_.Reset();
  }
  if (writer_) {
    const HRESULT released = writer_->ReleaseMedia();
    if (hr == S_OK) hr = released;
    writer_.Reset();
  }
  recorder_->EjectMedia();
  recorder_.Reset();
  stream_.Reset();
  if (hr == S_OK && !Stopping()) {
    text_ = Localizer::Translate(kRecorded);
    succeeded_ = true;
  }
}
