// Leftover copies: a Quillmark_new.txt or Quillmark_spare.txt that a change
// never finished is removed by the next change, never followed through a link,
// and a copy left alone is put back as the user file before anything is read.
#include "UserFileFixture.h"

#include "tests/support/FileFaultInjection.h"

#include <filesystem>
#include <functional>
#include <tuple>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;
using files::FileCall;
using store::AppendOutcome;
using store::RewriteOutcome;
using store::ScanOutcome;

using TemporaryName = UserFileTest;

// A link there, to a file or to nothing, is removed and never followed.
TEST_F(TemporaryName, ALinkThereIsRemovedAndItsTargetNeverWritten)
{
    WriteFile("victim", "precious");
    for (const char* target : {"victim", "planted"}) {
        SCOPED_TRACE(target);
        ASSERT_EQ(::symlink(target, store::TemporaryFileName.c_str()), 0);
        GivenUserFile(Utf8WithMark.File({u"ann:1"}));
        EXPECT_EQ(Replace(u"ann:1", u"ann:2"), RewriteOutcome::Done);
        EXPECT_EQ(Append(u"bob:1"), AppendOutcome::Written);
        EXPECT_EQ(UserFile(), Utf8WithMark.File({u"ann:2", u"bob:1"}));
        EXPECT_FALSE(TemporaryFileLeft());
    }
    EXPECT_EQ(ReadFile("victim"), "precious");
    EXPECT_FALSE(Exists("planted"));
}

TEST_F(TemporaryName, LeftoverCopiesUnderBothNamesAreGoneAfterTheNextChange)
{
    const std::tuple<std::string, std::function<bool()>, std::string> changes[] = {
        {Utf8WithMark.File({u"ann:1"}), [] { return Replace(u"ann:1", u"ann:2") == RewriteOutcome::Done; }, Utf8WithMark.File({u"ann:2"})},
        {Utf8WithMark.File({u"ann:1"}), [] { return Append(u"bob:1") == AppendOutcome::Written; }, Utf8WithMark.File({u"ann:1", u"bob:1"})},
        {"", [] { return Append(u"bob:1") == AppendOutcome::Written; }, "\xEF\xBB\xBF" "bob:1" + NewFileLineEnd},
    };
    for (const auto& [given, change, after] : changes) {
        WriteFile(store::TemporaryFileName, "stale half-written copy");
        WriteFile(store::SpareCopyName, Utf8WithMark.File({u"ann:old-password"}));
        GivenUserFile(given);
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

// The copy is the accounts: put back before a log-in or a change, never emptied.
TEST_F(Recovery, ACopyLeftAloneBecomesTheUserFileBeforeAnyRead)
{
    const std::pair<std::function<bool()>, std::string> operations[] = {
        {[] { return Scan(u"ann:1") == ScanOutcome::Found; }, Utf8WithMark.File({u"ann:1"})},
        {[] { return Append(u"bob:2") == AppendOutcome::Written; }, Utf8WithMark.File({u"ann:1", u"bob:2"})},
        {[] { return Replace(u"ann:1", u"ann:3") == RewriteOutcome::Done; }, Utf8WithMark.File({u"ann:3"})}};
    for (const auto& [operation, after] : operations) {
        ::unlink(store::UserFileName.c_str());
        WriteFile(store::TemporaryFileName, Utf8WithMark.File({u"ann:1"}));
        EXPECT_TRUE(operation());
        EXPECT_EQ(UserFile(), after);
        EXPECT_FALSE(TemporaryFileLeft());
    }
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
