#pragma once

#include "app/QuillmarkApp.h"
#include "tests/support/FileFaultInjection.h"
#include "tools/driver/Driver.h"
#include "tests/support/Folder.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

// What a message box said.
struct Shown {
    std::u16string text;
    std::u16string caption;
    BoxIcon icon = BoxIcon::None;

    bool operator==(const Shown&) const = default;
};
void PrintTo(const Shown& shown, std::ostream* out);

// The dialog behind the box on top, dismissed: what the box said, and whether
// its dialog was still on screen when it appeared.
struct Message {
    Shown shown;
    bool dialogVisible = false;
};
Message TakeMessage(Driver& driver);

// A UTF-8 user file as the program writes a new one: a byte-order mark, then
// the lines as given.
std::string Utf8File(std::string_view lines);

// A disk fault: the nth call of a kind from now on, once, or every one (nth 0).
struct Fault {
    files::FileCall call = files::FileCall::Any;
    std::optional<files::InjectedFault> injected;  // none when empty
    int nth = 0;
};

// The program in a fresh folder of its own, driven by a script, on a disk
// that fails when told.
class AccountDialog : public ::testing::Test {
protected:
    void Run(const std::function<void(Driver&)>& script)
    {
        m_driver.Run([] { theApp.InitInstance(); }, script);
    }

    // From now on the disk fails as told, as a full or broken one would.
    void Inject(Driver& driver, const Fault& fault)
    {
        driver.Call([this, fault] {
            if (fault.nth)
                m_disk.FailCall(fault.call, fault.nth, *fault.injected);
            else
                m_disk.FailEveryCall(fault.call, *fault.injected);
        });
    }

    static void WriteUserFile(std::string_view bytes) { testing_support::WriteFile("Quillmark.txt", bytes); }
    static std::optional<std::string> UserFile() { return testing_support::ReadFile("Quillmark.txt"); }
    static bool TemporaryFileExists() { return testing_support::Exists("Quillmark_new.txt"); }

    testing_support::TemporaryFolder m_folder;
    files::FaultInjectingFileSystem m_disk;
    files::FileSystemScope m_diskScope{m_disk};
    Driver m_driver;
};

// What the dialog does: stays open, or ends before its box appears or once it is closed.
enum class Then { StaysOpen, EndsBeforeTheBox, EndsAfterTheBox };
// A row of a dialog's table: the user file before, what is typed, a disk
// fault from the press on, and what follows.
struct Press {
    std::string name;
    std::optional<std::string> before;  // none: no user file
    std::vector<std::u16string> typed;  // into the dialog's edits in tab order
    Fault fault;
    // No box at all when the text is empty. In the text, "…" stands for any
    // words (a path, say); an empty caption is the program's title.
    Shown shown;
    Then then;
    std::optional<std::string> after;  // none: as before
};
void PrintTo(const Press& press, std::ostream* out);
std::string NameOf(const ::testing::TestParamInfo<Press>& info);

class DialogPress : public AccountDialog, public ::testing::WithParamInterface<Press> {
protected:
    // Opens the dialog from the menu, types the row into the edits, presses
    // Enter and checks the row: the box, the dialog, the user file; then `more`.
    void PressOk(int command, const std::vector<int>& edits, const std::function<void(Driver&)>& more = {});
};

// What a person types into each dialog, then Enter.
void CreateUser(Driver& driver, std::u16string_view user, std::u16string_view password, std::u16string_view confirm);
void LogIn(Driver& driver, std::u16string_view user, std::u16string_view password);
void ChangePassword(Driver& driver, std::u16string_view user, std::u16string_view oldPassword,
                    std::u16string_view newPassword, std::u16string_view confirm);

template <class Dialog>
bool IsOpen(Driver& driver)
{
    return dynamic_cast<Dialog*>(driver.ActiveDialog()) != nullptr;
}
