// What the Windows file services add to the store's guarantees within one
// process: a replace that another program's open handle refuses fails
// cleanly, new files are private, a replacement keeps the security and the
// attributes of the file it replaces, and a Unix link is never changed through.
#include "FileFaultInjection.h"
#include "Folder.h"
#include "UserFileFixture.h"
#include "platform/files/FileOperations.h"
#include "platform/files/TextReader.h"
#include "platform/files/TextFile.h"
#include "platform/files/win32/SystemErrors.h"
#include "store/UserFile.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace testing_support;
using store::RewriteOutcome;

// Another program holding a file open, sharing everything but its removal.
class ForeignReader {
public:
    explicit ForeignReader(const wchar_t* name)
        : m_handle(CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~ForeignReader() { CloseHandle(m_handle); }
    bool Holds() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

// The access list of a file, as text: "D:(A;;FA;;;SY)...".
std::wstring AccessOf(const std::string& name)
{
    const std::wstring wide(name.begin(), name.end());
    DWORD size = 0;
    GetFileSecurityW(wide.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    std::vector<char> security(size);
    wchar_t* text = nullptr;
    if (!GetFileSecurityW(wide.c_str(), DACL_SECURITY_INFORMATION, security.data(), size, &size)
        || !ConvertSecurityDescriptorToStringSecurityDescriptorW(security.data(), SDDL_REVISION_1,
                                                                 DACL_SECURITY_INFORMATION, &text, nullptr))
        return L"unreadable";
    std::wstring access(text);
    LocalFree(text);
    return access;
}

void SetAccess(const std::string& name, const std::wstring& access)
{
    PSECURITY_DESCRIPTOR security = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(access.c_str(), SDDL_REVISION_1, &security,
                                                                     nullptr));
    const std::wstring wide(name.begin(), name.end());
    EXPECT_TRUE(SetFileSecurityW(wide.c_str(), DACL_SECURITY_INFORMATION, security));
    LocalFree(security);
}

std::wstring CurrentUser()
{
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<char> user(size);
    GetTokenInformation(token, TokenUser, user.data(), size, &size);
    CloseHandle(token);
    wchar_t* sid = nullptr;
    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid);
    std::wstring text(sid);
    LocalFree(sid);
    return text;
}

// Everyone, the users of the machine, or anyone who logged on.
bool OpenToOthers(const std::wstring& access)
{
    for (const wchar_t* others : {L";WD)", L";BU)", L";AU)", L";IU)"}) {
        if (access.find(others) != std::wstring::npos)
            return true;
    }
    return false;
}

class WindowsUserFile : public UserFileTest {};

bool RunsUnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

TEST_F(WindowsUserFile, NewFilesAreForTheirOwnerOnly)
{
    ASSERT_EQ(Append(u"ann:1"), store::AppendOutcome::Written);
    const std::wstring access = AccessOf(store::UserFileName);
    EXPECT_FALSE(OpenToOthers(access)) << access;
    EXPECT_NE(access.find(CurrentUser()), std::wstring::npos) << access;
    // The copy that a change writes, and any file the store creates.
    for (const auto mode : {files::OpenMode::CreateNew, files::OpenMode::CreateOrKeep}) {
        const std::string name = "new-" + std::to_string(static_cast<int>(mode)) + ".txt";
        auto opened = files::SystemFileSystem().Open(name, mode);
        ASSERT_TRUE(opened.Ok());
        files::SystemFileSystem().Close(opened.Value());
        EXPECT_FALSE(OpenToOthers(AccessOf(name))) << name;
    }
}

// Wine keeps an access list as Unix mode bits and would widen one written
// back, so there the new file stays as private as it was made.
TEST_F(WindowsUserFile, AChangeKeepsTheSecurityOfTheFileItReplacesExceptUnderWine)
{
    const std::wstring ownerOnly = L"D:P(A;;FA;;;" + CurrentUser() + L")";
    for (const bool madePrivate : {false, true}) {
        GivenUserFile(Utf8WithMark.File({u"ann:1"}));
        if (madePrivate)
            SetAccess(store::UserFileName, ownerOnly);
        const std::wstring before = AccessOf(store::UserFileName);
        ASSERT_EQ(Replace(u"ann:1", u"ann:2"), RewriteOutcome::Done);
        const std::wstring after = AccessOf(store::UserFileName);
        if (RunsUnderWine()) {
            EXPECT_FALSE(OpenToOthers(after)) << after;
            continue;
        }
        EXPECT_EQ(after, before) << (madePrivate ? "made private" : "as the folder gave it");
        EXPECT_EQ(OpenToOthers(after), !madePrivate);
    }
}

// Wine reopens a handle by name, so there a read-only leftover is left alone
// (a link swapped in could lead elsewhere) and the copy takes the spare name.
TEST_F(WindowsUserFile, AReadOnlyLeftoverCopyBlocksNoChangeAndHiddenOrSystemFilesStaySo)
{
    const std::wstring userFile(store::UserFileName.begin(), store::UserFileName.end());
    const DWORD hidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    // A last line without its end: the new account goes by a copy too.
    GivenUserFile(Utf8WithMark.mark + "ann:1");
    WriteFile(store::TemporaryFileName, "left over", 0444);
    ASSERT_TRUE(SetFileAttributesW(userFile.c_str(), hidden));
    EXPECT_EQ(Append(u"bob:1"), store::AppendOutcome::Written);
    const auto replaced = store::RewriteUserFile(u"ann:1", u"ann:2");
    EXPECT_EQ(replaced.GetOutcome(), RewriteOutcome::Done) << std::string(replaced.Message().begin(), replaced.Message().end());
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:2", u"bob:1"}));
    EXPECT_EQ(TemporaryFileLeft(), RunsUnderWine());
    EXPECT_FALSE(std::filesystem::exists(store::SpareCopyName));
    EXPECT_EQ(GetFileAttributesW(userFile.c_str()) & hidden, hidden);
    EXPECT_EQ(Append(u"carl:1"), store::AppendOutcome::Written);
    EXPECT_EQ(GetFileAttributesW(userFile.c_str()) & hidden, hidden);
}

// Another program that holds the user file open only delays a replace; one
// that keeps it open fails the change as a busy file, not a lack of rights.
TEST_F(WindowsUserFile, AReaderOnlyDelaysAReplaceAndOneThatStaysFailsItCleanly)
{
    enum class Reader { LetsGoSoon, Stays };
    for (const Reader held : {Reader::LetsGoSoon, Reader::Stays}) {
        GivenUserFile(Utf8WithMark.File({u"ann:old", u"bob:2"}));
        auto reader = std::make_unique<ForeignReader>(L"Quillmark.txt");
        ASSERT_TRUE(reader->Holds());
        std::thread letGo([&] {
            if (held == Reader::LetsGoSoon)
                Sleep(150), reader.reset();
        });
        const auto result = store::RewriteUserFile(u"ann:old", u"ann:new");
        letGo.join();
        reader.reset();
        EXPECT_EQ(Mentions(result.Message(), u"another program kept Quillmark.txt open"), held == Reader::Stays)
            << std::string(result.Message().begin(), result.Message().end());
        EXPECT_EQ(UserFile(), Utf8WithMark.File({held == Reader::Stays ? u"ann:old" : u"ann:new", u"bob:2"}));
        EXPECT_FALSE(TemporaryFileLeft());
    }
    EXPECT_EQ(Replace(u"ann:old", u"ann:new"), RewriteOutcome::Done) << "once the file is free again";
}

// The copy's name made a link to another file between the store's last look
// and the rename: that file gets neither the user file's security nor its place.
TEST_F(WindowsUserFile, ACopyTurnedIntoALinkAtTheLastMomentIsNotPutInPlace)
{
    const std::wstring ownerOnly = L"D:P(A;;FA;;;" + CurrentUser() + L")";
    WriteFile("other.txt", "not accounts");
    SetAccess("other.txt", ownerOnly);
    const std::wstring otherAccess = AccessOf("other.txt");
    GivenUserFile(Utf8WithMark.File({u"ann:1"}));
    ASSERT_NE(AccessOf(store::UserFileName), otherAccess);
    files::FaultInjectingFileSystem racing;
    racing.BeforeEachCall([](files::FileCall call) {
        if (call == files::FileCall::Rename && DeleteFileW(L"Quillmark_new.txt")) {
            ASSERT_EQ(::symlink("other.txt", store::TemporaryFileName.c_str()), 0);
        }
    });
    {
        files::FileSystemScope scope(racing);
        EXPECT_EQ(Replace(u"ann:1", u"ann:2"), RewriteOutcome::Failed);
    }
    EXPECT_EQ(ReadFile("other.txt"), "not accounts");
    EXPECT_EQ(AccessOf("other.txt"), otherAccess);
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:1"}));
}

// Removing a link to the user file left at the copy's name must not remove
// the accounts. Wine replaces no name that leads to an open file, so the
// change may fail while the store reads the user file; it changes nothing then.
TEST_F(WindowsUserFile, ALinkToTheUserFileAtTheCopysNameCostsNoAccount)
{
    GivenUserFile(Utf8WithMark.File({u"ann:1"}));
    ASSERT_EQ(::symlink(store::UserFileName.c_str(), store::TemporaryFileName.c_str()), 0);
    const RewriteOutcome outcome = Replace(u"ann:1", u"ann:2");
    EXPECT_EQ(UserFile(), Utf8WithMark.File({outcome == RewriteOutcome::Done ? u"ann:2" : u"ann:1"}));
    EXPECT_EQ(Append(u"bob:1"), store::AppendOutcome::Written);
    EXPECT_EQ(Scan(u"bob:1"), store::ScanOutcome::Found);
}

// How another handle finds a byte of the lock file: "free", open to "shared" holders, or held "alone".
std::string HeldAs(HANDLE lock, DWORD offset)
{
    for (const auto& [flags, found] : {std::pair<DWORD, const char*>{LOCKFILE_EXCLUSIVE_LOCK, "free"}, {0, "shared"}}) {
        OVERLAPPED range{};
        range.Offset = offset;
        if (LockFileEx(lock, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range))
            return UnlockFileEx(lock, 0, 1, 0, &range), found;
    }
    return "alone";
}

// The change lock (0), the turnstile (2) and the readers' byte (1) as another
// handle finds them while a log-in reads the user file and while a change
// renames over it, with another reader on the readers' byte or not; the change
// lock is free again once a change is done.
TEST_F(WindowsUserFile, ALogInAndARenameHoldTheLockFilesBytesAsCharted)
{
    struct Moment {
        files::FileCall call;
        bool anotherReader;
        std::string change, turnstile, readers;
    };
    for (const Moment& moment : {Moment{files::FileCall::Read, false, "free", "free", "shared"},
                                 Moment{files::FileCall::Rename, false, "alone", "alone", "alone"},
                                 Moment{files::FileCall::Rename, true, "alone", "alone", "shared"}}) {
        GivenUserFile(Utf8WithMark.File({u"ann:1"}));
        ASSERT_EQ(Append(u"bob:1"), store::AppendOutcome::Written);  // makes the lock file
        HANDLE lock = CreateFileW(L"Quillmark.lock", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        HANDLE reader = CreateFileW(L"Quillmark.lock", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        OVERLAPPED readers{};
        readers.Offset = 1;
        ASSERT_TRUE(!moment.anotherReader || LockFileEx(reader, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &readers));
        files::FaultInjectingFileSystem watching;
        std::vector<std::string> seen;
        watching.BeforeEachCall([&](files::FileCall call) {
            if (call == moment.call && seen.empty())
                seen = {HeldAs(lock, 0), HeldAs(lock, 2), HeldAs(reader, 1)};
        });
        {
            files::FileSystemScope scope(watching);
            if (moment.call == files::FileCall::Read)
                EXPECT_EQ(Scan(u"ann:1"), store::ScanOutcome::Found);
            else
                EXPECT_EQ(Replace(u"ann:1", u"ann:2"), RewriteOutcome::Done);
        }
        EXPECT_EQ(seen, (std::vector<std::string>{moment.change, moment.turnstile, moment.readers}));
        CloseHandle(reader);
        CloseHandle(lock);
    }
}

TEST(WindowsFileNames, TakeAnyCharacterAsUtf8)
{
    TemporaryFolder folder;
    const std::string name = "n\xC3\xA4me-\xE2\x9C\x93.txt";
    auto file = files::CreateTextFile(name, files::TextEncoding::Utf8WithMark);
    ASSERT_TRUE(file.Ok());
    ASSERT_TRUE(file.Value().WriteBytes("x").Ok());
    ASSERT_TRUE(file.Value().Close().Ok());
    EXPECT_TRUE(Exists(name));
    EXPECT_TRUE(files::RenameFile(name, "plain.txt").Ok());
    EXPECT_EQ(ReadFile("plain.txt"), "x");
}

// What FormatMessageW says of an error, as the file services quote it.
std::string SystemWords(DWORD error)
{
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string words = text ? text : "";
    LocalFree(text);
    return words.substr(0, words.find_last_not_of(".\r\n ") + 1);
}

// The file services against the system's own failures, with no seam above them.
TEST(WindowsFileErrors, ARenameOfAMissingFileOrAWriteTheHandleForbidsFailsInTheSystemsWords)
{
    TemporaryFolder folder;
    files::FileSystem& system = files::SystemFileSystem();
    for (const files::RenameMode mode : {files::RenameMode::Replace, files::RenameMode::KeepExisting}) {
        const files::FileStatus renamed = system.Rename("missing.txt", "there.txt", mode);
        ASSERT_FALSE(renamed.Ok());
        EXPECT_TRUE(renamed.Error().IsMissing());
        EXPECT_EQ(renamed.Error().Reason(), SystemWords(ERROR_FILE_NOT_FOUND));
        EXPECT_FALSE(Exists("there.txt"));
    }
    WriteFile("readable.txt", "x");
    auto reader = system.Open("readable.txt", files::OpenMode::Read);
    ASSERT_TRUE(reader.Ok());
    const files::FileStatus written = system.Write(reader.Value(), "y", 1);
    const files::FileStatus writtenAt = system.WriteAt(reader.Value(), 0, "y", 1);
    system.Close(reader.Value());
    for (const files::FileStatus& status : {written, writtenAt}) {
        ASSERT_FALSE(status.Ok());
        EXPECT_TRUE(status.Error().IsDenied());
        EXPECT_EQ(status.Error().Reason(), SystemWords(ERROR_ACCESS_DENIED));
    }
    EXPECT_EQ(ReadFile("readable.txt"), "x");
}

// Run by tests/wine/full-disk, in a small tmpfs of its own: the disk fills for
// real, and a write that fits only in part is continued until the disk refuses.
TEST(WindowsFileErrors, AFullDiskFailsTheWriteWithNoSpace)
{
    if (!std::getenv("QUILLMARK_FULL_DISK"))
        GTEST_SKIP() << "run by tests/wine/full-disk";
    const std::string accounts = "\xEF\xBB\xBF" "ann:1\r\n";
    WriteFile(store::UserFileName, accounts);
    files::FileSystem& system = files::SystemFileSystem();
    auto filler = system.Open("filler", files::OpenMode::CreateNew);
    ASSERT_TRUE(filler.Ok());
    // Blocks that pages do not divide: the last one fits in part.
    const std::string block(3000, 'x');
    files::FileStatus status;
    int blocks = 0;
    for (; blocks < 1000 && status.Ok(); ++blocks)
        status = system.Write(filler.Value(), block.data(), block.size());
    auto filled = system.Examine(filler.Value());
    system.Close(filler.Value());
    ASSERT_FALSE(status.Ok()) << "the disk never filled";
    EXPECT_EQ(status.Error().Reason(), SystemWords(ERROR_DISK_FULL));
    ASSERT_TRUE(filled.Ok());
    EXPECT_GT(filled.Value().size, (blocks - 1) * block.size()) << "the block that fitted in part was continued, then failed";

    const std::u16string longRecord = u"bob:" + std::u16string(8192, u'p');
    const auto appended = store::AppendRecord(longRecord);
    EXPECT_EQ(appended.GetOutcome(), store::AppendOutcome::Failed);
    EXPECT_NE(appended.Message().find(u" could not be written: "), std::u16string::npos);
    EXPECT_EQ(store::RewriteUserFile(u"ann:1", longRecord).GetOutcome(), store::RewriteOutcome::Failed);
    EXPECT_EQ(ReadFile(store::UserFileName), accounts);
    EXPECT_FALSE(Exists(store::TemporaryFileName));
}

TEST(WindowsFileErrors, TellAMissingFileFromOtherFailures)
{
    TemporaryFolder folder;
    auto missing = files::TextReader::Open("absent.txt");
    ASSERT_FALSE(missing.Ok());
    EXPECT_TRUE(missing.Error().IsMissing());
    EXPECT_NE(missing.Error().Message().find("absent.txt could not be opened: "), std::string::npos);

    CreateDirectoryW(L"folder.txt", nullptr);
    auto folderAsFile = files::TextReader::Open("folder.txt");
    ASSERT_FALSE(folderAsFile.Ok());
    EXPECT_FALSE(folderAsFile.Error().IsMissing());
    // A file system without locks, which Wine never reports: changes are refused as such.
    EXPECT_TRUE(files::ErrorOf(ERROR_NOT_SUPPORTED, "locked").IsUnsupported());
    // A write the system took nothing of, which Wine never does either, in the words of the failure table.
    EXPECT_EQ(files::TookNothing().Named("Quillmark.txt").Message(),
              "Quillmark.txt could not be written: the system took none of the bytes");
}

} // namespace
