#pragma once

#include "app/QuillmarkApp.h"
#include "tests/support/FileFaultInjection.h"
#include "tests/driver/Driver.h"
#include "tests/support/Folder.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

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

// The program in a fresh folder of its own, driven by a script, on a disk
// that fails when told.
class AccountDialog : public ::testing::Test {
protected:
    void Run(const std::function<void(Driver&)>& script)
    {
        m_driver.Run([] { theApp.InitInstance(); }, script);
    }

    // From now on every call of that kind fails, as on a full or broken disk.
    void FailEvery(Driver& driver, files::FileCall kind, int code)
    {
        driver.Call([this, kind, code] { m_disk.FailEveryCall(kind, code); });
    }
    // The nth call of that kind from now on fails, once.
    void FailOnce(Driver& driver, files::FileCall kind, int nth, int code)
    {
        driver.Call([this, kind, nth, code] { m_disk.FailCall(kind, nth, code); });
    }
    void Heal(Driver& driver)
    {
        driver.Call([this] { m_disk.Heal(); });
    }

    static void WriteUserFile(std::string_view bytes) { testing_support::WriteFile("Quillmark.txt", bytes); }
    static std::optional<std::string> UserFile() { return testing_support::ReadFile("Quillmark.txt"); }
    static bool TemporaryFileExists() { return testing_support::Exists("Quillmark_new.txt"); }

    testing_support::TemporaryFolder m_folder;
    files::FaultInjectingFileSystem m_disk;
    files::FileSystemScope m_diskScope{m_disk};
    Driver m_driver;
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
