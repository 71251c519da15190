// Two copies of the program, and other programs at work on the user file: the
// lock keeps changes apart, and an append acts only on the file it holds.
#include "UserFileFixture.h"

#include "platform/files/FileLock.h"

#include "tests/support/FileFaultInjection.h"
#include "tests/support/ForwardingFileSystem.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <thread>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;
using files::FileCall;
using store::AppendOutcome;
using store::RewriteOutcome;
using store::ScanOutcome;

using AnotherCopy = UserFileTest;

// A change waits up to three seconds for another copy's lock: one let go
// after a second is waited for, one kept for six is not, and that is told.
TEST_F(AnotherCopy, HoldingTheLockMakesChangesFailButReadsGoOn)
{
    const std::u16string busy = FullPath(store::UserFileName) + u" is being changed by another copy of the program."
                                                                u" Nothing was changed; please try again.";
    for (const auto& [heldFor, told] : {std::pair(std::chrono::seconds(6), busy), std::pair(std::chrono::seconds(1), std::u16string())}) {
        GivenUserFile(Utf8WithMark.File({u"ann:1"}));
        std::optional held(files::FileLock::Acquire(store::UserFileName, std::chrono::milliseconds(0)));
        std::promise<void> answered;
        std::thread holder([&, answer = answered.get_future()] { answer.wait_for(heldFor), held.reset(); });
        EXPECT_EQ(Scan(u"ann:1"), ScanOutcome::Found);
        const auto message = store::AppendRecord(u"bob:1").Message();
        answered.set_value();
        holder.join();
        EXPECT_EQ(message, told);
    }
}

// Removed before the change looks, or once it holds the lock: before the
// lock's own check of the user file, or before the change's.
TEST_F(AnotherCopy, AChangeRacingARemovalMakesNoFile)
{
    for (const int examinedAfterTheLock : {-1, 1, 2}) {
        SCOPED_TRACE(examinedAfterTheLock);
        GivenUserFile(Utf8WithMark.File({u"ann:1"}));
        files::FaultInjectingFileSystem racing;
        int examined = -1;
        bool removed = false;
        racing.BeforeEachCall([&](FileCall call) {
            if (call == FileCall::Lock)
                examined = 0;
            const bool due = examinedAfterTheLock < 0 ? call == FileCall::Open
                                                      : call == FileCall::Examine && examined >= 0
                                                            && examined++ == examinedAfterTheLock;
            if (due && !std::exchange(removed, true))
                ::unlink(store::UserFileName.c_str());
        });
        files::FileSystemScope scope(racing);
        auto rewritten = store::RewriteUserFile(u"ann:1", u"ann:2");
        EXPECT_TRUE(removed);
        EXPECT_EQ(rewritten.GetOutcome(), RewriteOutcome::Missing);
        EXPECT_FALSE(Exists(store::UserFileName));
    }
}

// Another program writes the user file before any call of an append: makes a
// first account's file just before this copy creates it, saves it in place as
// an editor does (in one go, or cut first and written at the next call, over
// the head of a line that landed at the start), or appends a line to it (to one
// whose last line has no end too, which goes by copy, or is unfinished, which
// is cut first). No NUL stays, no tail of the record logs in, "Written" means
// the account is there, and the other program's line is kept.
TEST_F(AnotherCopy, AFileWrittenByAnotherProgramAtAnyCallOfAnAppendGetsNoStrayBytes)
{
    const std::string given = Utf8WithMark.File({u"ann:1", u"carl:" + std::u16string(40, u'c')});
    const std::string unfinished = Utf8WithMark.File({u"ann:1", std::u16string(u"\0an:2", 5)});
    struct Row {
        const char* what;
        std::optional<std::string> given;
        std::string written;
        std::ios::openmode how;
        std::optional<std::u16string> kept;
        std::string thenInPlace = {};
        bool throughNewName = false;  // the file as it stands with `written` after its mark, renamed over it
        bool shorterInPlace = false;  // the file as it stands less `written`, written over it without a cut
    };
    const Row rows[] = {
        {"a first account, an editor's save", std::nullopt, Utf8WithMark.File({u"eve:1"}), std::ios::trunc, {}},
        {"an append, an editor's shorter save", given, Utf8WithMark.File({u"eve:1"}), std::ios::trunc, {}},
        {"an append, an editor's save cut first", given, "", std::ios::trunc, {}, "\xEF\xBB\xBF\n"},
        {"an append, a line appended", given, "edd:x\n", std::ios::app, u"edd:x"},
        {"a last line without its end, a line appended", given.substr(0, given.size() - 1), "\nedd:x\n",
         std::ios::app, u"edd:x"},
        {"an unfinished last line, a line appended", unfinished, "edd:x\n", std::ios::app, u"edd:x"},
        {"an unfinished last line, finished in place", unfinished, Utf8WithMark.File({u"ann:1", u"dan:2"}),
         std::ios::trunc, u"dan:2"},
        // An editor's line whose last bytes equal the new line's, where that ended.
        {"an editor's save ending like the line", given, Utf8WithMark.File({u"ann:1", u"cat:" + std::u16string(45, u'c') + u"by:1"}),
         std::ios::trunc, u"cat:" + std::u16string(45, u'c') + u"by:1"},
        {"an editor's save over the line", given, Utf8WithMark.File({u"ann:1", u"cat:" + std::u16string(45, u'c') + u"by:1", u"dan:4"}),
         std::ios::trunc, u"cat:" + std::u16string(45, u'c') + u"by:1"},
        {"an editor's save in UTF-16 over a UTF-8 line", Utf8WithMark.File({u"ann:1", u"bob:2", u"dan:4"}),
         Utf16LeWithMark.File({u"ann:1", u"ca:3"}, u"\r\n"), std::ios::trunc, u"ca:3"},
        {"a save through a new name", given, "edd:x\n", std::ios::app, u"edd:x", {}, true},
        {"a shorter save in place without a cut", given, "cccc", std::ios::in | std::ios::out, u"ann:1", {}, false, true},
        {"a shorter UTF-16 save in place without a cut", Utf16LeWithMark.File({u"ann:1", u"carl:cccccc"}, u"\r\n"),
         Utf16LeWithMark.encode(u"ccccc"), std::ios::in | std::ios::out, u"ann:1", {}, false, true},
        {"a UTF-16 editor's short save", Utf16LeWithMark.File({u"ann:1"}, u"\r\n"),
         Utf16LeWithMark.File({u"ann:1", u"cat:2"}, u"\r\n"), std::ios::trunc, u"cat:2"},
    };
    for (const Row& row : rows) {
        for (int nth = 1;; ++nth) {
            SCOPED_TRACE(row.what + (", call " + std::to_string(nth)));
            ::unlink(store::UserFileName.c_str());
            if (row.given)
                GivenUserFile(*row.given, 0600);
            files::FaultInjectingFileSystem editing;
            int calls = 0;
            bool saved = true;
            editing.BeforeEachCall([&](FileCall) {
                if (++calls == nth && row.throughNewName) {
                    std::string edited = UserFile().value_or("");
                    std::ofstream("edited", std::ios::binary) << edited.insert(std::min<std::size_t>(3, edited.size()), row.written);
                    std::error_code failed;
                    std::filesystem::rename("edited", store::UserFileName, failed);
                    saved = !failed;  // Windows replaces no file that this copy holds open
                } else if (calls == nth && row.shorterInPlace) {
                    std::string edited = UserFile().value_or("");
                    if (const std::size_t at = edited.find(row.written); at != std::string::npos)
                        std::ofstream(store::UserFileName, std::ios::binary | row.how) << edited.erase(at, row.written.size());
                } else if (calls == nth) {
                    std::ofstream(store::UserFileName, std::ios::binary | row.how) << row.written;
                }
                if (calls == nth + 1 && !row.thenInPlace.empty())
                    std::ofstream(store::UserFileName, std::ios::binary | std::ios::in | std::ios::out) << row.thenInPlace;
            });
            store::StoreResult<AppendOutcome> appended{AppendOutcome::Failed};
            {
                files::FileSystemScope scope(editing);
                appended = store::AppendRecord(u"bobby:1");
            }
            if (calls < nth)
                break;
            const auto& kinds = editing.Calls();
            const auto call = [&](int at) { return at >= 0 && at < int(kinds.size()) ? kinds[at] : FileCall::Any; };
            // Where the end is looked up before the write, a line appended just
            // after the placeholder cannot be told from one written over: it is
            // joined to the unfinished line.
            const bool joined = files::SystemFileSystem().HowEndIsWritten() == files::EndWrite::LookedUpFirst
                                && call(nth - 2) == FileCall::Write && call(nth - 1) == FileCall::Examine;
            // A code unit a byte: the UTF-16 files here hold ASCII, the low bytes.
            const auto units = [](std::string bytes) {
                if (!bytes.starts_with("\xFF\xFE"))
                    return bytes;
                std::string low;
                for (std::size_t at = 2; at < bytes.size(); at += 2)
                    low += bytes[at];
                return low;
            };
            // The one NUL there may be is that of the unfinished line given.
            std::string file = units(UserFile().value_or(""));
            if (const std::size_t given = row.given ? units(*row.given).find('\0') : std::string::npos; given < file.size())
                file.erase(given, file[given] == '\0');
            // A save of what it read may carry over the unfinished line, which the next append cuts.
            if (!joined && !row.throughNewName && !row.shorterInPlace) {
                EXPECT_EQ(file.find('\0'), std::string::npos) << file;
            }
            // A shorter save in place after the last look leaves the old file's last bytes, whatever they were.
            const bool afterTheLastLook = std::find(kinds.begin() + nth - 1, kinds.end(), FileCall::Examine) == kinds.end();
            if (!row.shorterInPlace || !afterTheLastLook) {
                EXPECT_EQ(Scan(u"y:1"), ScanOutcome::NotFound) << file;
            }
            // A save after the append's last look at the file, or in the last
            // moment before a cut, a rename or the first character's write
            // (after the look or read back just before it), is the editor's own lost update.
            if (joined || afterTheLastLook
                || call(nth - 1) == FileCall::Truncate || call(nth - 1) == FileCall::Rename
                || (call(nth - 1) == FileCall::Examine && call(nth) == FileCall::Truncate)
                || (call(nth - 1) == FileCall::Write && call(nth - 2) == FileCall::Read))
                continue;
            EXPECT_EQ(appended.GetOutcome() == AppendOutcome::Written, Scan(u"bobby:1") == ScanOutcome::Found)
                << std::string(appended.Message().begin(), appended.Message().end());
            if (row.kept && saved) {
                EXPECT_EQ(Scan(*row.kept), ScanOutcome::Found);
            }
            if (appended.GetOutcome() != AppendOutcome::Written) {
                EXPECT_TRUE(Mentions(appended.Message(), u"was changed by another program during the change. Nothing was changed"));
            }
        }
    }
}

// Where a write at the end looks the end up first (Wine does), another program
// writes between the look and the write: a save in place leaves the line past
// the new end, after NUL, and it is cut back with that gap; a line appended, or
// a longer save, lies under the placeholder, and no rest of it logs in.
TEST_F(AnotherCopy, AnEndLookedUpBeforeAnotherProgramsWriteLeavesNoGapNorRestOfALine)
{
    const std::string given = Utf8WithMark.File({u"ann:1", u"carl:" + std::u16string(40, u'c')});
    struct Row {
        std::string written;
        std::ios::openmode how;
        std::optional<std::string> left;
    };
    const Row rows[] = {
        {Utf8WithMark.File({u"eve:1"}), std::ios::trunc, Utf8WithMark.File({u"eve:1"})},
        {"edward:longpassword\n", std::ios::app, {}},
        {given + "edward:longpassword\n", std::ios::trunc, {}},
    };
    for (const Row& row : rows) {
        struct EndLookedUpFirst : files::ForwardingFileSystem {
            EndLookedUpFirst(const Row& row) : ForwardingFileSystem(files::SystemFileSystem()), row(row) {}
            files::FileResult<std::uint64_t> WriteAtEnd(files::FileHandle file, const char* data, std::size_t size) override
            {
                const std::uint64_t end = Examine(file).Value().size;
                std::ofstream(store::UserFileName, std::ios::binary | row.how) << row.written;
                if (auto written = WriteAt(file, end, data, size); !written.Ok())
                    return written.Error();
                return end;
            }
            files::EndWrite HowEndIsWritten() const override { return files::EndWrite::LookedUpFirst; }
            const Row& row;
        } lookingFirst(row);
        GivenUserFile(given, 0600);
        files::FileSystemScope scope(lookingFirst);
        EXPECT_EQ(store::AppendRecord(u"bob:1").GetOutcome(), AppendOutcome::Failed);
        if (row.left) {
            EXPECT_EQ(UserFile(), *row.left);
        }
        EXPECT_EQ(Scan(u":longpassword"), ScanOutcome::NotFound);
        EXPECT_EQ(Scan(u"bob:1"), ScanOutcome::NotFound);
    }
}

TEST_F(AnotherCopy, AFolderInPlaceOfTheLockIsToldAsNoRegularFile)
{
    GivenUserFile(Utf8WithMark.File({u"ann:1"}));
    ASSERT_EQ(::mkdir(files::LockNameFor(store::UserFileName).c_str(), 0700), 0);
    const auto appended = store::AppendRecord(u"bob:1");
    EXPECT_NE(appended.Message().find(u"Quillmark.lock could not be opened: it is not a regular file."),
              std::u16string::npos)
        << std::string(appended.Message().begin(), appended.Message().end());
}

TEST_F(AnotherCopy, AChangeWaitingWhileTheFileIsRemovedMakesNoFile)
{
    GivenUserFile(Utf8WithMark.File({u"ann:1"}));
    auto held = std::make_optional(files::FileLock::Acquire(store::UserFileName, std::chrono::milliseconds(0)));
    ASSERT_TRUE(held->Ok());
    auto change = std::async(std::launch::async, [] { return Replace(u"ann:1", u"ann:2"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_EQ(::unlink(store::UserFileName.c_str()), 0);
    held.reset();
    EXPECT_EQ(change.get(), RewriteOutcome::Missing);
    EXPECT_FALSE(Exists(store::UserFileName));
}
