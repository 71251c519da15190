// The three operations through the real program, driven as the GUI tests
// drive it, beside the same store call made alone in the same process:
//   dialog_bench FOLDER USER PASSWORD ROUNDS
// USER:PASSWORD is a line of the user file, whose password is changed and
// changed back each round. Prints one line a measure, "<operation>
// store|dialog <ms>": the dialog's from the key press that presses its
// button to its message box shown.
#include "app/QuillmarkApp.h"
#include "platform/gui/Dialog.h"
#include "platform/gui/Unicode.h"
#include "res/ResourceIds.h"
#include "store/RecordKey.h"
#include "store/UserFile.h"
#include "tools/driver/Driver.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

void Report(const char* operation, const char* way, const std::function<void()>& action)
{
    const auto start = std::chrono::steady_clock::now();
    action();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("%s %s %.3f\n", operation, way, took.count());
}

// Fills the dialog's fields, then times the press that ends in its message box.
enum class Timing { Timed, Untimed };

void TimeDialog(Driver& driver, const char* operation, int command,
                const std::vector<std::pair<int, std::u16string>>& fields, Timing timing = Timing::Timed)
{
    if (!driver.Choose(command)) {
        std::fprintf(stderr, "menu item %d is grayed\n", command);
        std::exit(1);
    }
    for (const auto& [control, text] : fields)
        driver.Type(control, text);
    if (timing == Timing::Timed)
        Report(operation, "dialog", [&] { driver.Press(Key::Enter); });
    else
        driver.Press(Key::Enter);
    if (!driver.ActiveMessageBox()) {
        std::fprintf(stderr, "menu item %d: no message box\n", command);
        std::exit(1);
    }
    driver.Dismiss();
    // A dialog that its message leaves open is cancelled; the main window stays.
    if (static_cast<CWnd*>(driver.ActiveDialog()) != theApp.GetMainWindow())
        driver.Press(Key::Escape);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fputs("usage: dialog_bench FOLDER USER PASSWORD ROUNDS\n", stderr);
        return 2;
    }
    std::filesystem::current_path(argv[1]);
    const std::u16string user = Utf8ToUtf16(argv[2]);
    const std::u16string password = Utf8ToUtf16(argv[3]);
    const int rounds = std::atoi(argv[4]);
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    Driver driver;
    driver.Run([] { theApp.InitInstance(); }, [&](Driver& driver) {
        const auto expect = [](bool expected, const char* what) {
            if (!expected) {
                std::fprintf(stderr, "%s did not end as expected\n", what);
                std::exit(1);
            }
        };
        const std::u16string changed = password + u"-changed";
        for (int round = 0; round < rounds; ++round) {
            // Which goes first alternates, so that neither always finds the other's traces.
            const auto inTurn = [round](const std::function<void()>& store, const std::function<void()>& dialog) {
                (round % 2 ? dialog : store)();
                (round % 2 ? store : dialog)();
            };
            const std::u16string newcomer = u"newcomer-" + Utf8ToUtf16(std::to_string(round));
            inTurn(
                [&] {
                    Report("login", "store", [&] {
                        expect(store::ScanUserFile(store::RecordKey(u"nobody", u"nothing")).GetOutcome()
                                   == store::ScanOutcome::NotFound, "the scan");
                    });
                },
                [&] { TimeDialog(driver, "login", ID_FILE_LOGIN, {{IDC_USERNAME, u"nobody"}, {IDC_PASSWORD, u"nothing"}}); });
            inTurn(
                [&] {
                    Report("create", "store", [&] {
                        expect(store::AppendRecord(store::RecordKey(newcomer + u"-store", u"secret")).GetOutcome()
                                   == store::AppendOutcome::Written, "the append");
                    });
                },
                [&] {
                    TimeDialog(driver, "create", ID_FILE_CREATEUSER,
                               {{IDC_USERNAME, newcomer}, {IDC_PASSWORD, u"secret"}, {IDC_CONFIRMPASSWORD, u"secret"}});
                });
            // Change Password is offered to a logged-in user: the first change
            // takes the password from `password` to `changed`, the second back.
            TimeDialog(driver, "", ID_FILE_LOGIN, {{IDC_USERNAME, user}, {IDC_PASSWORD, password}}, Timing::Untimed);
            bool changedNow = false;
            const auto next = [&] {
                const std::u16string from = changedNow ? changed : password;
                const std::u16string to = changedNow ? password : changed;
                changedNow = !changedNow;
                return std::pair{from, to};
            };
            inTurn(
                [&] {
                    const auto [from, to] = next();
                    Report("change", "store", [&] {
                        expect(store::RewriteUserFile(store::RecordKey(user, from), store::RecordKey(user, to))
                                   .GetOutcome() == store::RewriteOutcome::Done, "the rewrite");
                    });
                },
                [&] {
                    const auto [from, to] = next();
                    TimeDialog(driver, "change", ID_OPTION_CHANGEPASSWORD,
                               {{IDC_USERNAME, user}, {IDC_PASSWORD, from}, {IDC_NEWPASSWORD, to}, {IDC_CONFIRMPASSWORD, to}});
                });
            expect(driver.Choose(ID_FILE_LOGOUT), "the log-out");
            expect(store::ScanUserFile(store::RecordKey(user, password)).GetOutcome() == store::ScanOutcome::Found,
                   "the dialogs' password changes");
        }
        driver.Press(Key::Escape);
    });
    return 0;
}
