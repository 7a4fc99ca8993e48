#include <gtest/gtest.h>
#include <windows.h>

#include "app/MainDialog.h"
#include "res/resource.h"
#include "tests/support/TestSupport.h"

using testing_support::OpenDialog;
using testing_support::PumpUntil;

namespace {

TEST(MainDialogSmoke, OpensIdleWithProgramDirAndOsKind) {
    OpenDialog dialog;
    HWND window = dialog->GetSafeHwnd();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(testing_support::TestProgramFolder() + "\\", dialog->ProgramDir);
    EXPECT_NE(0, dialog->OsKind);
    EXPECT_FALSE(dialog.StatusVisible());
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(window, IDC_INSTALL)));
}

TEST(MainDialogSmoke, CancelClosesThroughWmClose) {
    OpenDialog dialog;
    ::SendMessageA(dialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_CLOSE_BUTTON, 0), 0);
    EXPECT_TRUE(dialog->ProgramDir.empty());
    EXPECT_TRUE(PumpUntil([&] { return dialog->IsEnded(); }, 5000));
    EXPECT_EQ(IDCANCEL, dialog->EndResult());
}

}  // namespace
