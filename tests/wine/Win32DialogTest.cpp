// Dialog behaviour that is the system's own on Windows, where it differs
// from the other backend's.
#include "platform/gui/Dialog.h"
#include "platform/gui/WinApp.h"
#include "tests/driver/Driver.h"

#include <gtest/gtest.h>

namespace {

constexpr int kNarrowTemplate = 202;
constexpr int kName = 300;

// A native edit that does not scroll keeps what fits of a long text, and
// nothing beyond it.
TEST(NativeDialog, AnEditThatDoesNotScrollKeepsWhatFitsOfALongText)
{
    CDialog narrow(kNarrowTemplate);
    Driver driver;
    driver.Run([&] {
        CWinApp::Instance()->SetMainWindow(&narrow);
        narrow.RunModal();
        CWinApp::Instance()->SetMainWindow(nullptr);
    }, [](Driver& d) {
        d.Type(kName, u"ab");
        EXPECT_EQ(d.Text(kName), u"ab");
        const std::u16string longText = u"a long line that is far wider than the field";
        d.Type(kName, longText);
        const std::u16string kept = d.Text(kName);
        EXPECT_FALSE(kept.empty());
        EXPECT_LT(kept.size(), longText.size());
        EXPECT_TRUE(longText.starts_with(kept)) << "kept: " << kept.size() << " characters";
    });
}

}  // namespace
