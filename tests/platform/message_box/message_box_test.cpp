#include "support/param_names.h"
#include "win32/msgbox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using namespace win32;

struct BoxCase {
    UINT type;
    int pressed;
};

class HeadlessMessageBox : public ::testing::TestWithParam<BoxCase> {
protected:
    void SetUp() override { setenv("SDL_VIDEODRIVER", "dummy", 1); }
};

TEST_P(HeadlessMessageBox, WritesCaptionAndTextAndPressesTheDefaultButton) {
    ::testing::internal::CaptureStderr();
    const int pressed = MessageBoxW(nullptr, u"Déjà vu", u"Title", GetParam().type);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Title: Déjà vu\n");
    EXPECT_EQ(pressed, GetParam().pressed);
}

INSTANTIATE_TEST_SUITE_P(Buttons, HeadlessMessageBox,
                         ::testing::Values(BoxCase{MB_OK | MB_ICONINFORMATION, IDOK},
                                           BoxCase{MB_ICONWARNING, IDOK},
                                           BoxCase{MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
                                           BoxCase{MB_YESNO | MB_ICONQUESTION, IDYES},
                                           BoxCase{MB_YESNO | MB_DEFBUTTON2, IDNO},
                                           BoxCase{MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
                                           // A default beyond the buttons falls back to the first.
                                           BoxCase{MB_OK | MB_DEFBUTTON3, IDOK}),
                         [](const auto& info) { return test_support::Numbered("Type", info.param.type); });

TEST(HeadlessMessageBoxCaption, NullCaptionIsError) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ::testing::internal::CaptureStderr();
    MessageBoxW(nullptr, u"Not enough memory!", nullptr, MB_ICONINFORMATION);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: Not enough memory!\n");
}

} // namespace
