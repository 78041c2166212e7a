#include "wizard/pages/ProgressPage.h"

#include <commctrl.h>

#include "common/Localizer.h"
#include "engine/jobs/RipperData.h"
#include "recorder/ImageRecorderData.h"
#include "recorder/RecorderData.h"
#include "wizard/jobs/ExtracterProgressProxy.h"
#include "wizard/resources/resource.h"

namespace {

const wchar_t kUserAbort[] = L"You have requested to abort the operation{USER_ABORT}";

}  // namespace

std::unique_ptr<Action> CWizardProgressPage::MakeJob(const CWizardInfo& info) {
  switch (info->operation) {
    case OpBackup:
      return std::make_unique<RipperData>();
    case OpExtract:
      return std::make_unique<ExtracterProgressProxy>();
    case OpRestore:
      if (info->restoreTarget != 0) return std::make_unique<RecorderData>();
      return std::make_unique<ImageRecorderData>();
    default:
      return nullptr;
  }
}

CWizardProgressPage::CWizardProgressPage(const CWizardInfo& info, JobFactory factory)
    : CWizardPageBase(
          info, IDD_WIZ97_PROGRESS, L"Working...{PROGRESSPAGE_TITLE}",
          L"Please wait for TAVRIN to finish the current tasks...{PROGRESSPAGE_SUBTITLE}"),
      factory_(std::move(factory)) {}

// Only while a recording runs: a recorder job that did not start (a declined
// battery warning, a failed set-up) stays held but records nothing.
bool CWizardProgressPage::CanEndSession() const {
  return !((*this)->operation == OpRestore && (*this)->restoreTarget != 0 && job_ && running_);
}

BOOL CWizardProgressPage::OnInitDialog() {
  Localizer::TranslateDialog(Window());
  bar_ = GetDlgItem(Window(), IDC_PROGRESS);
  running_ = false;
  InitBanner();
  return TRUE;
}

int CWizardProgressPage::OnSetActive() {
  HideBannerUnlessOnTheWeb();
  (*this)->resultMessage.clear();
  running_ = false;
  job_ = factory_(*this);
  const int range = job_ ? job_->Start(Window(), *this) : 0;
  if (range > 0) {
    // The 32-bit range: a backup appended to a large file counts its copy too.
    SendMessageW(bar_, PBM_SETRANGE32, 0, range);
    SendMessageW(bar_, PBM_SETPOS, 0, 0);
    ShowWindow(bar_, SW_SHOWNA);
    running_ = true;
    SetWizardButtons(0);
    return 0;
  }
  if ((*this)->resultMessage.empty() && job_) (*this)->resultMessage = job_->Message();
  // An extraction that did not start must not leave its songs' discs queued.
  (*this)->discQueue.clear();
  return -1;
}

BOOL CWizardProgressPage::OnQueryCancel() {
  if (job_) {
    // A job that had finished its work before the stop reached it says so
    // itself; a stopped one may still tell what became of the user's file.
    const bool done = job_->Finish();
    const std::wstring message = job_->Message();
    std::wstring& result = (*this)->resultMessage;
    if (done) {
      result = message;
    } else {
      result = Localizer::Translate(kUserAbort);
      if (!message.empty()) result += L"\n" + message;
    }
    ReleaseJob();
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
  }
  return FALSE;
}

LRESULT CWizardProgressPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  handled = false;
  if (message == WM_JOB_NOTIFY) {
    handled = true;
    OnJobNotify(wParam, lParam);
  } else if (message == WM_DESTROY) {
    if (job_) {
      job_->Finish();
      if ((*this)->resultMessage.empty()) (*this)->resultMessage = job_->Message();
      job_.reset();
      (*this)->extracter.reset();
    }
    ReleaseBanner();
  }
  return 0;
}

void CWizardProgressPage::OnJobNotify(WPARAM code, LPARAM value) {
  switch (code) {
    case JOB_PROGRESS:
      if (running_) SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(value), 0);
      break;
    case JOB_CONTINUE:
      if (job_) job_->Continue();
      break;
    case JOB_DONE:
      if (job_) OnJobDone();
      break;
    default:
      break;
  }
}

void CWizardProgressPage::OnJobDone() {
  std::vector<int32_t>& queue = (*this)->discQueue;
  if (!job_->Finish()) queue.clear();
  if ((*this)->resultMessage.empty()) (*this)->resultMessage = job_->Message();
  ReleaseJob();
  if ((*this)->operation != OpRestore)
    queue.clear();
  else if (!queue.empty())
    queue.erase(queue.begin());
  if (queue.empty())
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
  else
    PostMessageW(Sheet(), PSM_SETCURSELID, 0, IDD_WIZ97_SELECTRECORDER);
}

void CWizardProgressPage::ReleaseJob() {
  job_.reset();
  running_ = false;
  ShowWindow(bar_, SW_HIDE);
}
