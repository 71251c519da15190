// What the store does with hostile contents, odd files and names, and keys
// that would forge records.
#include "UserFileFixture.h"

#include "platform/files/FileLock.h"
#include "store/Record.h"

#include "tests/support/FileFaultInjection.h"
#include "tests/support/ForwardingFileSystem.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>
#include <future>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

using namespace testing_support;
using files::FileCall;
using store::AppendOutcome;
using store::RewriteOutcome;
using store::ScanOutcome;

using UntouchedLines = UserFileTest;

TEST_F(UntouchedLines, KeepTheirBytesInUtf8WhateverTheyHold)
{
    const std::string hostile = std::string("x:\xFF\xC0\x80\xED\xA0\x80", 8) + std::string("\0nul\rcr", 7);
    const std::string huge(3 * 65536 + 7, 'h');
    GivenUserFile("\xEF\xBB\xBF" + hostile + "\n" "ann:old\r\n" + huge + "\n\xE9");
    EXPECT_EQ(Replace(u"ann:old", u"ann:new"), RewriteOutcome::Done);
    EXPECT_EQ(UserFile(), "\xEF\xBB\xBF" + hostile + "\n" "ann:new\r\n" + huge + "\n\xE9\n");
}

TEST_F(UntouchedLines, KeepTheirBytesInUtf16AndAnOddLastByteStaysLast)
{
    const std::string hostile = Utf16(std::u16string(u"\xDC00:\0\r\xD800", 5));
    GivenUserFile(hostile + Utf16(u"\n") + Utf16(u"ann:old") + "\x41");
    EXPECT_EQ(Replace(u"ann:old", u"ann:new"), RewriteOutcome::Done);
    EXPECT_EQ(UserFile(), hostile + Utf16(u"\n") + Utf16(u"ann:new\n") + "\x41");
    EXPECT_EQ(Append(u"bob:1"), AppendOutcome::Written);
    EXPECT_EQ(UserFile(), hostile + Utf16(u"\n") + Utf16(u"ann:new\nbob:1\n") + "\x41");
    // After an odd byte no append of the program's was cut short: a last line that starts with NUL stays.
    const std::string noted = "\xFF\xFE" + Utf16(u"ann:1\n") + Utf16(std::u16string(u"\0note", 5)) + "Z";
    GivenUserFile(noted);
    EXPECT_EQ(Append(u"bob:1"), AppendOutcome::Written);
    EXPECT_EQ(UserFile(), "\xFF\xFE" + Utf16(u"ann:1\n") + Utf16(std::u16string(u"\0note\nbob:1\n", 12)) + "Z");
}

using ForgedRecords = UserFileTest;

TEST_F(ForgedRecords, KeysWithLineBreaksOrNulsAreRefusedAndChangeNothing)
{
    GivenUserFile(Utf8WithMark.File({u"ann:1"}));
    for (const std::u16string& key : {std::u16string(u"eve:x\nroot:y"), std::u16string(u"eve:x\r"),
                                      std::u16string(u"eve:\0x", 6)}) {
        auto appended = store::AppendRecord(key);
        EXPECT_EQ(appended.GetOutcome(), AppendOutcome::NotChecked);
        EXPECT_TRUE(Mentions(appended.Message(), u"line break"));
        EXPECT_EQ(store::AppendRecord(key, store::Duplicates::Allow).GetOutcome(), AppendOutcome::Failed);
        EXPECT_EQ(store::ScanUserFile(key).GetOutcome(), ScanOutcome::Failed);
        EXPECT_EQ(Replace(u"ann:1", key), RewriteOutcome::Failed);
    }
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:1"}));
    EXPECT_FALSE(TemporaryFileLeft());
}

TEST_F(ForgedRecords, InvalidBytesNeverMatchATypedReplacementCharacter)
{
    const std::string accounts = "\xEF\xBB\xBF" "bob:caf\xE9\n";
    GivenUserFile(accounts);
    EXPECT_EQ(Scan(u"bob:caf\uFFFD"), ScanOutcome::NotFound);
    EXPECT_EQ(Replace(u"bob:caf\uFFFD", u"bob:mine"), RewriteOutcome::Unchanged);
    EXPECT_EQ(UserFile(), accounts);
    EXPECT_EQ(Append(u"bob:caf\uFFFD"), AppendOutcome::Written);
    EXPECT_EQ(UserFile(), accounts + "bob:caf\xEF\xBF\xBD\n");
}

TEST_F(ForgedRecords, ARecordAtTheStartOfAFileWithoutAMarkNeverReadsAsOne)
{
    for (const std::u16string& key : {std::u16string(u"\uFEFFadmin:mine"), std::u16string(u"\uBBEF\u41BFx:y")}) {
        GivenUserFile("\n");  // one byte: UTF-16LE without a mark, and no line yet
        EXPECT_EQ(Append(key), AppendOutcome::Written);
        EXPECT_EQ(Scan(key), ScanOutcome::Found);
        EXPECT_EQ(Scan(key.substr(1)), ScanOutcome::NotFound);
        // A large file's copy, which could take the old file's lack of a mark along, gains one too.
        for (const std::u16string& rest : {std::u16string(), std::u16string(40000, u'z') + u":1\n"}) {
            GivenUserFile(Utf16(u"ann:1\n" + rest));
            EXPECT_EQ(Replace(u"ann:1", key), RewriteOutcome::Done);
            EXPECT_EQ(UserFile(), Utf16LeWithMark.File({key}) + Utf16(rest)) << "read as written";
        }
    }
}

TEST_F(ForgedRecords, NoMomentOfAnAppendShowsAReaderAPartOfTheRecord)
{
    const std::u16string key = u"victim:" + std::u16string(9000, u'p');
    GivenUserFile(Utf8WithMark.File({u"ann:1"}));
    files::FaultInjectingFileSystem watched;
    int forged = 0;
    int lookedAt = 0;
    int writes = 0;
    watched.BeforeEachCall([&](FileCall call) {
        files::FileSystemScope real(files::SystemFileSystem());
        ++lookedAt;
        for (std::size_t length : {std::size_t(7), std::size_t(4093), std::size_t(8000), key.size() - 1})
            forged += Scan(key.substr(0, length)) == ScanOutcome::Found;
        // The whole line, once written, still matches nothing until its first character is.
        forged += writes < 2 && Scan(key) == ScanOutcome::Found;
        writes += call == FileCall::Write;
    });
    {
        files::FileSystemScope scope(watched);
        EXPECT_EQ(Append(key), AppendOutcome::Written);
    }
    EXPECT_GT(lookedAt, 5);
    EXPECT_EQ(forged, 0);
    EXPECT_EQ(Scan(key), ScanOutcome::Found);
}

using TemporaryName = UserFileTest;

TEST_F(TemporaryName, ALinkThereIsRemovedAndItsTargetNeverWritten)
{
    WriteFile("victim", "precious");
    ASSERT_EQ(::symlink("victim", store::TemporaryFileName.c_str()), 0);
    GivenUserFile(Utf8WithMark.File({u"ann:1"}));
    EXPECT_EQ(Replace(u"ann:1", u"ann:2"), RewriteOutcome::Done);
    EXPECT_EQ(Append(u"bob:1"), AppendOutcome::Written);
    EXPECT_EQ(ReadFile("victim"), "precious");
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:2", u"bob:1"}));
    EXPECT_FALSE(TemporaryFileLeft());
}

TEST_F(TemporaryName, ADanglingLinkCreatesNothingAtItsTarget)
{
    ASSERT_EQ(::symlink("planted", store::TemporaryFileName.c_str()), 0);
    GivenUserFile(Utf8WithMark.File({u"ann:1"}));
    EXPECT_EQ(Replace(u"ann:1", u"ann:2"), RewriteOutcome::Done);
    EXPECT_FALSE(Exists("planted"));
}

TEST_F(TemporaryName, LeftoverCopiesUnderBothNamesAreGoneAfterTheNextChange)
{
    const std::pair<std::function<bool()>, std::string> changes[] = {
        {[] { return Replace(u"ann:1", u"ann:2") == RewriteOutcome::Done; }, Utf8WithMark.File({u"ann:2"})},
        {[] { return Append(u"bob:1") == AppendOutcome::Written; }, Utf8WithMark.File({u"ann:1", u"bob:1"})},
    };
    for (const auto& [change, after] : changes) {
        WriteFile(store::TemporaryFileName, "stale half-written copy");
        WriteFile(store::SpareCopyName, Utf8WithMark.File({u"ann:old-password"}));
        GivenUserFile(Utf8WithMark.File({u"ann:1"}));
        EXPECT_TRUE(change());
        EXPECT_EQ(UserFile(), after);
        EXPECT_FALSE(TemporaryFileLeft());
        EXPECT_FALSE(Exists(store::SpareCopyName));
    }
}

TEST_F(TemporaryName, AFolderThereIsLeftAloneAndOneAtTheSpareNameTooStopsTheChange)
{
    ASSERT_EQ(::mkdir(store::TemporaryFileName.c_str(), 0700), 0);
    GivenUserFile(Utf8WithMark.File({u"ann:1"}));
    EXPECT_EQ(Replace(u"ann:1", u"ann:2"), RewriteOutcome::Done);
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:2"}));
    ASSERT_EQ(::mkdir(store::SpareCopyName.c_str(), 0700), 0);
    auto result = store::RewriteUserFile(u"ann:2", u"ann:3");
    EXPECT_EQ(result.GetOutcome(), store::RewriteOutcome::Failed);
    EXPECT_TRUE(Mentions(result.Message(), u"Quillmark_spare.txt could not be removed"));
    EXPECT_TRUE(Mentions(result.Message(), u"Nothing was changed."));
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:2"}));
    EXPECT_EQ(::rmdir(store::TemporaryFileName.c_str()), 0) << "left alone";
}

using Recovery = UserFileTest;

TEST_F(Recovery, ACopyLeftAloneBecomesTheUserFileBeforeAnyRead)
{
    WriteFile(store::TemporaryFileName, Utf8WithMark.File({u"ann:1", u"bob:2"}));
    EXPECT_EQ(Scan(u"bob:2"), ScanOutcome::Found);
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:1", u"bob:2"}));
    EXPECT_FALSE(TemporaryFileLeft());
}

TEST_F(Recovery, ChangesNeverEmptyTheOnlyCopy)
{
    WriteFile(store::TemporaryFileName, Utf8WithMark.File({u"ann:1"}));
    EXPECT_EQ(Append(u"bob:2"), AppendOutcome::Written);
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:1", u"bob:2"}));
    WriteFile(store::TemporaryFileName, Utf8WithMark.File({u"cid:3"}));
    ASSERT_EQ(::unlink(store::UserFileName.c_str()), 0);
    EXPECT_EQ(Replace(u"cid:3", u"cid:4"), RewriteOutcome::Done);
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"cid:4"}));
}

TEST_F(Recovery, AUserFileThatAppearsMeanwhileIsKeptOverTheCopy)
{
    WriteFile(store::TemporaryFileName, Utf8WithMark.File({u"old:1"}));
    files::FaultInjectingFileSystem racing;
    racing.BeforeEachCall([&](FileCall call) {
        if (call == FileCall::Rename && !Exists(store::UserFileName))
            WriteFile(store::UserFileName, Utf8WithMark.File({u"new:1"}));
    });
    files::FileSystemScope scope(racing);
    EXPECT_EQ(Scan(u"new:1"), ScanOutcome::Found);
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"new:1"}));
}

TEST_F(Recovery, ALinkAtTheTemporaryNameIsNeverAdopted)
{
    // A second name of a file is no copy of the program's, which never links
    // one: adopted, that file would take the appends. A change drops the name.
    const std::string other = Utf8WithMark.File({u"ann:1"});
    WriteFile("other.txt", other);
    std::filesystem::create_hard_link("other.txt", store::TemporaryFileName);
    EXPECT_EQ(Scan(u"ann:1"), ScanOutcome::Missing);
    EXPECT_EQ(Append(u"bob:1"), AppendOutcome::Written);
    EXPECT_EQ(Replace(u"bob:1", u"bob:2"), RewriteOutcome::Done);
    EXPECT_FALSE(TemporaryFileLeft());
    EXPECT_EQ(ReadFile("other.txt"), other);

    ASSERT_TRUE(std::filesystem::remove(store::UserFileName));
    WriteFile("elsewhere", "not accounts\n");
    ASSERT_EQ(::symlink("elsewhere", store::TemporaryFileName.c_str()), 0);
    EXPECT_EQ(Scan(u"a:b"), ScanOutcome::Missing);
    EXPECT_FALSE(Exists(store::UserFileName));
}

using UnusualUserFile = UserFileTest;

TEST_F(UnusualUserFile, ReadOnlyIsReadButNeverChanged)
{
    GivenUserFile(Utf8WithMark.File({u"ann:1"}), 0444);
    EXPECT_EQ(Scan(u"ann:1"), ScanOutcome::Found);
    auto appended = store::AppendRecord(u"bob:1");
    EXPECT_EQ(appended.GetOutcome(), AppendOutcome::Failed);
    EXPECT_EQ(appended.Message(), FullPath("Quillmark.txt") + u" is read-only. Nothing was changed.");
    EXPECT_EQ(Append(u"ann:1"), AppendOutcome::AlreadyPresent) << "the duplicate is told before the refusal";
    auto rewritten = store::RewriteUserFile(u"ann:1", u"x:y");
    EXPECT_EQ(rewritten.GetOutcome(), RewriteOutcome::Failed);
    EXPECT_TRUE(Mentions(rewritten.Message(), u"read-only"));
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:1"}));
    EXPECT_EQ(ModeOf(store::UserFileName), 0444u);
}

TEST_F(UnusualUserFile, ALinkIsReadButNotReplaced)
{
    WriteFile("real.txt", Utf8WithMark.File({u"ann:1"}));
    ASSERT_EQ(::symlink("real.txt", store::UserFileName.c_str()), 0);
    EXPECT_EQ(Scan(u"ann:1"), ScanOutcome::Found);
    EXPECT_EQ(Append(u"bob:1"), AppendOutcome::Failed);
    EXPECT_EQ(ReadFile("real.txt"), Utf8WithMark.File({u"ann:1"}));
}

TEST_F(UnusualUserFile, AFileSystemWithoutLocksRefusesChangesWithAMessage)
{
    GivenUserFile(Utf8WithMark.File({u"ann:1"}));
    // Only a file system without locks is told as one; any other failure of the lock is not.
    for (const auto& [fault, toldAsNoLock] : {std::pair{files::NoLocks, true}, {files::BrokenDisk, false}}) {
        files::FaultInjectingFileSystem lockless;
        lockless.FailEveryCall(FileCall::Lock, fault);
        files::FileSystemScope scope(lockless);
        auto appended = store::AppendRecord(u"bob:1");
        EXPECT_EQ(appended.GetOutcome(), AppendOutcome::Failed);
        EXPECT_EQ(Mentions(appended.Message(), u"offers no lock"), toldAsNoLock);
        auto rewritten = store::RewriteUserFile(u"ann:1", u"ann:2");
        EXPECT_EQ(rewritten.GetOutcome(), RewriteOutcome::Failed);
        EXPECT_TRUE(Mentions(rewritten.Message(), u"Nothing was changed."));
    }
    EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:1"}));
}

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
    };
    for (const Row& row : rows) {
        for (int nth = 1;; ++nth) {
            SCOPED_TRACE(row.what + (", call " + std::to_string(nth)));
            ::unlink(store::UserFileName.c_str());
            if (row.given)
                GivenUserFile(*row.given, 0600);
            files::FaultInjectingFileSystem editing;
            int calls = 0;
            editing.BeforeEachCall([&](FileCall) {
                if (++calls == nth)
                    std::ofstream(store::UserFileName, std::ios::binary | row.how) << row.written;
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
            // The one NUL there may be is that of the unfinished line given.
            std::string file = UserFile().value_or("");
            if (const std::size_t given = row.given ? row.given->find('\0') : std::string::npos; given < file.size())
                file.erase(given, file[given] == '\0');
            if (!joined)
                EXPECT_EQ(file.find('\0'), std::string::npos) << file;
            EXPECT_EQ(Scan(u"y:1"), ScanOutcome::NotFound) << file;
            // A save after the append's last look at the file, or in the last
            // moment before a cut, a rename or the first character's write
            // (after the look or read back just before it), is the editor's own lost update.
            if (joined || std::find(kinds.begin() + nth - 1, kinds.end(), FileCall::Examine) == kinds.end()
                || call(nth - 1) == FileCall::Truncate || call(nth - 1) == FileCall::Rename
                || (call(nth - 1) == FileCall::Examine && call(nth) == FileCall::Truncate)
                || (call(nth - 1) == FileCall::Write && call(nth - 2) == FileCall::Read))
                continue;
            EXPECT_EQ(appended.GetOutcome() == AppendOutcome::Written, Scan(u"bobby:1") == ScanOutcome::Found)
                << std::string(appended.Message().begin(), appended.Message().end());
            if (row.kept)
                EXPECT_EQ(Scan(*row.kept), ScanOutcome::Found);
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
        if (row.left)
            EXPECT_EQ(UserFile(), *row.left);
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

// Run by tests/store/samba in a folder that smbd shares: a client of the
// share holds the lock, or this copy holds it against the client.
std::string SharedFolderRole()
{
    const char* role = std::getenv("QUILLMARK_SHARED_FOLDER");
    return role ? role : "";
}

TEST(SharedFolder, AChangeWaitsForAClientOfTheShareThenSaysSo)
{
    if (SharedFolderRole() != "held")
        GTEST_SKIP() << "runs under tests/store/samba";
    const auto appended = store::AppendRecord(u"bob:1");
    EXPECT_EQ(appended.GetOutcome(), AppendOutcome::Failed);
    EXPECT_TRUE(Mentions(appended.Message(), u"is being changed by another copy of the program"));
    EXPECT_EQ(store::RewriteUserFile(u"ann:1", u"ann:2").GetOutcome(), RewriteOutcome::Failed);
    EXPECT_EQ(store::ScanUserFile(u"ann:1").GetOutcome(), ScanOutcome::Found);
}

TEST(SharedFolder, HoldsTheLockUntilReleased)
{
    if (SharedFolderRole() != "hold")
        GTEST_SKIP() << "runs under tests/store/samba";
    auto held = files::FileLock::Acquire(store::UserFileName, std::chrono::milliseconds(0));
    ASSERT_TRUE(held.Ok());
    std::ofstream("held").close();
    for (int tries = 0; tries < 200 && !Exists("release"); ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}
