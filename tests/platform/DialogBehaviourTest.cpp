#include "platform/gui/DataExchange.h"
#include "platform/gui/Dialog.h"
#include "platform/gui/SystemNumbers.h"
#include "platform/gui/WinApp.h"
#include "tools/driver/Driver.h"
#include "tests/driver/PlacementCheck.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kFormTemplate = 200;
constexpr int kBrokenTemplate = 201;
constexpr int kNarrowTemplate = 202;
constexpr int kFarOffTemplate = 203;
constexpr int kName = 300;
constexpr int kSecret = 301;
constexpr int kFail = 401;
constexpr int kEndThenTell = 402;
constexpr int kApplicationCommand = 403;
constexpr int kOwnerCommand = 404;
constexpr int kOpenChild = 405;
constexpr int kOpenBroken = 406;
constexpr int kTellUnderALongCaption = 407;
constexpr int kOpenFarOff = 408;

std::vector<std::string> g_log;

class TestApp : public CWinApp {
protected:
    void OnApplicationCommand() { g_log.push_back("application"); }

    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;
};

const MessageMap TestApp::messageMap{&CWinApp::messageMap, {
    {WM_COMMAND, kApplicationCommand, &TestApp::OnApplicationCommand},
}};

TestApp testApp;

class FormDlg : public CDialog {
public:
    explicit FormDlg(int templateId = kFormTemplate) : CDialog(templateId) {}

    std::u16string m_name;
    std::u16string m_secret;
    int m_focusOnInit = 0;
    enum class Thrown { Standard, NonStandard, OutOfMemory } m_thrown = Thrown::Standard;

protected:
    int InitDialog() override
    {
        CDialog::InitDialog();
        if (m_focusOnInit == 0)
            return 1;
        FocusControl(m_focusOnInit);
        return 0;
    }

    void DoDataExchange(DataExchange& exchange) override
    {
        exchange.Text(kName, m_name);
        exchange.Text(kSecret, m_secret);
    }

    void OnFail()
    {
        if (m_thrown == Thrown::NonStandard)
            throw 42;
        if (m_thrown == Thrown::OutOfMemory)
            throw std::bad_alloc();
        throw std::runtime_error("The disk is on fire.");
    }

    void OnEndThenTell()
    {
        EndModal(IDOK);
        ShowMessage(u"Ended, then told.", u"Note");
        g_log.push_back("told");
    }

    void OnOpenChild()
    {
        FormDlg child;
        child.RunModal();
    }

    void OnTellUnderALongCaption() { ShowMessage(u"Done.", u"A caption far longer than the message under it"); }

    void OnOpenFarOff()
    {
        CDialog farOff(kFarOffTemplate);
        farOff.RunModal();
    }

    void OnOpenBroken()
    {
        FormDlg broken(kBrokenTemplate);
        broken.RunModal();
        g_log.push_back("after broken");
    }

    void OnSysCommand(unsigned id, std::intptr_t param)
    {
        g_log.push_back("syscommand " + std::to_string(id));
        CDialog::OnSysCommand(id, param);
    }

    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;
};

const MessageMap FormDlg::messageMap{&CDialog::messageMap, {
    {WM_COMMAND, kFail, &FormDlg::OnFail},
    {WM_COMMAND, kEndThenTell, &FormDlg::OnEndThenTell},
    {WM_COMMAND, kOpenChild, &FormDlg::OnOpenChild},
    {WM_COMMAND, kOpenBroken, &FormDlg::OnOpenBroken},
    {WM_COMMAND, kTellUnderALongCaption, &FormDlg::OnTellUnderALongCaption},
    {WM_COMMAND, kOpenFarOff, &FormDlg::OnOpenFarOff},
    {WM_SYSCOMMAND, 0, &FormDlg::OnSysCommand},
}};

// A form whose table adds one command to those of FormDlg.
class OwnerDlg : public FormDlg {
protected:
    void OnOwnerCommand() { g_log.push_back("owner"); }

    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;
};

const MessageMap OwnerDlg::messageMap{&FormDlg::messageMap, {
    {WM_COMMAND, kOwnerCommand, &OwnerDlg::OnOwnerCommand},
}};

class Dialog : public ::testing::Test {
protected:
    void SetUp() override { g_log.clear(); }

    // Runs the form as the main window, the script beside it.
    void Run(FormDlg& form, const std::function<void(Driver&)>& script)
    {
        m_driver.Run([&] {
            testApp.SetMainWindow(&form);
            m_result = form.RunModal();
            testApp.SetMainWindow(nullptr);
        }, script);
    }

    Driver m_driver;
    int m_result = 0;
};

// ---- Keys and closing

TEST_F(Dialog, EnterInAnEditPressesTheDefaultButtonWhichSavesTheFields)
{
    FormDlg form;
    Run(form, [](Driver& driver) {
        driver.Type(kName, u"ann");
        driver.Type(kSecret, u"s3cret");
        driver.Press(Key::Enter);
    });
    EXPECT_EQ(m_result, IDOK);
    EXPECT_EQ(form.m_name, u"ann");
    EXPECT_EQ(form.m_secret, u"s3cret");
}

TEST_F(Dialog, EnterOnAFocusedButtonPressesThatButton)
{
    FormDlg form;
    Run(form, [](Driver& driver) {
        EXPECT_EQ(driver.FocusedControl(), kName);
        for (const int expected : {kSecret, IDOK, IDCANCEL}) {
            driver.Press(Key::Tab);
            EXPECT_EQ(driver.FocusedControl(), expected);
        }
        driver.Press(Key::Enter);
    });
    EXPECT_EQ(m_result, IDCANCEL);
}

TEST_F(Dialog, EscapeCancelsAndSavesNothing)
{
    FormDlg form;
    Run(form, [](Driver& driver) {
        driver.Type(kName, u"ann");
        driver.Press(Key::Escape);
    });
    EXPECT_EQ(m_result, IDCANCEL);
    EXPECT_EQ(form.m_name, u"");
}

TEST_F(Dialog, CloseBoxComesAsTheCloseSystemCommandAndCancels)
{
    FormDlg form;
    Run(form, [](Driver& driver) { driver.CloseBox(); });
    EXPECT_EQ(m_result, IDCANCEL);
    EXPECT_EQ(g_log, std::vector<std::string>{"syscommand " + std::to_string(SC_CLOSE)});
}

TEST_F(Dialog, AltF4ComesAsTheCloseSystemCommandAndCancels)
{
    FormDlg form;
    Run(form, [](Driver& driver) { driver.Press(Key::AltF4); });
    EXPECT_EQ(m_result, IDCANCEL);
    EXPECT_EQ(g_log, std::vector<std::string>{"syscommand " + std::to_string(SC_CLOSE)});
}

// ---- Opening

TEST_F(Dialog, ShowsItsMembersWhenItOpens)
{
    FormDlg form;
    form.m_name = u"preset";
    Run(form, [](Driver& driver) {
        EXPECT_EQ(driver.Text(kName), u"preset");
        driver.Press(Key::Escape);
    });
}

TEST_F(Dialog, InitialFocusIsTheFirstTabStopUnlessInitDialogPlacedIt)
{
    FormDlg placed;
    placed.m_focusOnInit = kSecret;
    Run(placed, [](Driver& driver) { EXPECT_EQ(driver.FocusedControl(), kSecret); });
}

TEST_F(Dialog, WithoutItsTemplateRunsNothing)
{
    CDialog missing(999);
    EXPECT_EQ(missing.RunModal(), -1);
}

TEST_F(Dialog, PasswordCharacterZeroShowsTheTextAsTyped)
{
    FormDlg form;
    Run(form, [&form](Driver& driver) {
        EXPECT_TRUE(driver.IsMasked(kSecret));
        driver.Call([&form] { form.SendDlgItemMessage(kSecret, EM_SETPASSWORDCHAR, 0); });
        EXPECT_FALSE(driver.IsMasked(kSecret));
        EXPECT_FALSE(driver.IsMasked(kName));
    });
}

TEST_F(Dialog, AnEditThatDoesNotScrollTakesOnlyWhatItShows)
{
    FormDlg narrow(kNarrowTemplate);
    Run(narrow, [](Driver& driver) {
        driver.Type(kName, u"ab");
        EXPECT_EQ(driver.Text(kName), u"ab");
        const std::u16string longText = u"a long line that is far wider than the field";
        driver.Type(kName, longText);
        const std::u16string kept = driver.Text(kName);
#ifdef _WIN32
        // The system's own edit keeps what fits of a long text.
        EXPECT_FALSE(kept.empty());
        EXPECT_LT(kept.size(), longText.size());
        EXPECT_TRUE(longText.starts_with(kept)) << "kept: " << kept.size() << " characters";
#else
        // Qt's refuses all of it.
        EXPECT_EQ(kept, u"ab");
#endif
    });
}

// ---- Errors in handlers

TEST_F(Dialog, AnErrorInAHandlerIsReportedAndTheDialogGoesOn)
{
    // A standard exception tells its own text; running out of memory and anything else thrown, a sentence of ours.
    using Thrown = FormDlg::Thrown;
    const std::pair<Thrown, std::u16string> cases[] = {
        {Thrown::Standard, u"The disk is on fire."},
        {Thrown::NonStandard, u"An unexpected error stopped this action."},
        {Thrown::OutOfMemory, u"There is not enough memory to finish this action."},
    };
    for (const auto& [thrown, told] : cases) {
        FormDlg form;
        form.m_thrown = thrown;
        Run(form, [&form, &told](Driver& driver) {
            driver.Click(kFail);
            const auto box = driver.ActiveMessageBox();
            ASSERT_TRUE(box);
            EXPECT_EQ(box->text, told);
            EXPECT_EQ(box->caption, testApp.Title());
            EXPECT_EQ(box->icon, BoxIcon::Error);
            driver.Dismiss();
            EXPECT_EQ(driver.ActiveDialog(), &form);
            driver.Type(kName, u"still here");
            driver.Press(Key::Enter);
        });
        EXPECT_EQ(m_result, IDOK);
        EXPECT_EQ(form.m_name, u"still here");
    }
}

TEST_F(Dialog, AControlThatThePlatformLacksIsReportedWithoutAWindow)
{
    FormDlg form;
    Run(form, [&form](Driver& driver) {
        driver.Click(kOpenBroken);
        const auto box = driver.ActiveMessageBox();
        ASSERT_TRUE(box);
        EXPECT_NE(box->text.find(u"SysListView32"), std::u16string::npos);
        driver.Dismiss();
        EXPECT_EQ(driver.ActiveDialog(), &form);
    });
    EXPECT_TRUE(g_log.empty()) << "the handler that opened it ended there";
}

// ---- Placement

TEST_F(Dialog, AMessageBoxOpensCentredOverItsOwnerAndShowsItsWholeCaption)
{
    FormDlg form;
    Run(form, [](Driver& driver) {
        driver.Click(kTellUnderALongCaption);
        ASSERT_TRUE(driver.ActiveMessageBox());
        const Placement placement = driver.ActivePlacement();
        EXPECT_TRUE(IsCentredOverItsOwner(placement));
        EXPECT_GE(placement.window.right - placement.window.left, placement.captionWidth);
        driver.Dismiss();
    });
}

TEST_F(Dialog, AChildDialogOpensCentredOverTheDialogThatOpenedIt)
{
    FormDlg form;
    Run(form, [](Driver& driver) {
        driver.Click(kOpenChild);
        EXPECT_TRUE(IsCentredOverItsOwner(driver.ActivePlacement()));
        driver.Press(Key::Escape);
    });
}

TEST_F(Dialog, ADialogPlacedBeyondTheScreenOpensWhollyOnIt)
{
    FormDlg form;
    Run(form, [](Driver& driver) {
        driver.Click(kOpenFarOff);
        const Placement placement = driver.ActivePlacement();
        const Rect& window = placement.window;
        const Rect& screen = placement.screen;
        EXPECT_GT(window.right, window.left) << "no window on top";
        EXPECT_TRUE(window.left >= screen.left && window.top >= screen.top && window.right <= screen.right
                    && window.bottom <= screen.bottom)
            << "the window at " << window.left << "," << window.top << " ends at " << window.right << ","
            << window.bottom << ", beyond the screen's " << screen.right << "," << screen.bottom;
        driver.Press(Key::Escape);
    });
}

// ---- Ending

TEST_F(Dialog, AMessageAfterEndModalStillAppearsOwnedByTheHiddenDialog)
{
    FormDlg form;
    Run(form, [](Driver& driver) {
        driver.Click(kEndThenTell);
        const auto box = driver.ActiveMessageBox();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text, u"Ended, then told.");
        EXPECT_EQ(box->caption, u"Note");
        EXPECT_EQ(box->ownerCaption, u"Form");
        EXPECT_FALSE(box->ownerVisible);
        EXPECT_TRUE(driver.IsRunning()) << "the run ends when the handler returns";
        driver.Dismiss();
        EXPECT_FALSE(driver.IsRunning());
    });
    EXPECT_EQ(m_result, IDOK);
    EXPECT_EQ(g_log, std::vector<std::string>{"told"});
}

// ---- Command routing

TEST_F(Dialog, ACommandThatADialogLacksGoesToItsOwnerThenToTheApplication)
{
    OwnerDlg owner;
    Run(owner, [](Driver& driver) {
        driver.Click(kOpenChild);
        driver.Click(kOwnerCommand);
        driver.Click(kApplicationCommand);
        driver.Press(Key::Escape);
        driver.Click(kOwnerCommand);
    });
    EXPECT_EQ(g_log, (std::vector<std::string>{"owner", "application", "owner"}));
}

}  // namespace
