// The layer's modal dialog when its own code fails.
#include <gtest/gtest.h>

#include <new>

#include "wizard/resources/resource.h"
#include "wizard/ui/Dialog.h"

namespace {

// The about box's template, with a set-up that runs out of memory.
class FailingDialog : public ui::Dialog {
 public:
  FailingDialog() : ui::Dialog(IDD_ABOUTBOX) {}

 protected:
  BOOL OnInitDialog() override { throw std::bad_alloc(); }
};

TEST(Dialog, ASetUpThatThrowsEndsTheDialogAsOneNotMade) {
  FailingDialog dialog;
  EXPECT_EQ(-1, dialog.DoModal(nullptr));
}

}  // namespace
