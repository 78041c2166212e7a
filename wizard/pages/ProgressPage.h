#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "wizard/UpdateCheck.h"
#include "wizard/jobs/Action.h"
#include "wizard/pages/Banner.h"
#include "wizard/pages/PageBase.h"

// Where every operation runs: the page makes the operation's job when it
// becomes active, starts it, follows its progress and collects its outcome
// for the completion page; during a restore of several discs it sends the
// wizard back to the recorder page for each further disc. It also carries the
// web banner and runs the update check when its window is made.
class CWizardProgressPage : public CWizardPageBase {
 public:
  // Makes the job of the wizard state's operation.
  using JobFactory = std::function<std::unique_ptr<Action>(const CWizardInfo& info)>;
  static std::unique_ptr<Action> MakeJob(const CWizardInfo& info);

  explicit CWizardProgressPage(const CWizardInfo& info, JobFactory factory = MakeJob);

  ~CWizardProgressPage() override { ReleaseBanner(); }

  // Whether Windows may end the session now: not while a disc is recorded.
  bool CanEndSession() const;

  // The banner's decision for a navigation to the address: true cancels it.
  bool OnBeforeNavigate2(const std::wstring& url) const;

 private:
  BOOL OnInitDialog() override;
  int OnSetActive() override;
  BOOL OnQueryCancel() override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  void OnJobNotify(WPARAM code, LPARAM value);
  void OnJobDone();
  void ReleaseJob();

  // The web banner in place of the placeholder control when the update
  // parameters came, else the picture from the program's resources; sets the
  // wizard state's newer version (Banner.cpp, as the next three).
  void InitBanner();
  // Hides the banner for good when the browser shows no web page.
  void HideBannerUnlessOnTheWeb();
  // Quits the browser and destroys the picture.
  void ReleaseBanner();
  HRESULT BeforeNavigate2(DISPPARAMS& arguments) const;
  void ShowBannerPicture(const RECT& rect);

  JobFactory factory_;
  HWND bar_ = nullptr;
  // The banner's objects.
  UpdateCheck::Parameters bannerParams_;
  HWND bannerHost_ = nullptr;
  ComPtr<IWebBrowser2> browser_;
  ComPtr<XSinkCatcher> sinkCatcher_;
  HWND bannerPicture_ = nullptr;
  HICON bannerIcon_ = nullptr;
  std::unique_ptr<Action> job_;
  bool running_ = false;
};
