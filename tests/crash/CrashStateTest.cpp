// Power cuts, replayed: each operation's calls are recorded as they reach the
// system, every state of the folder that a cut after any of them may leave is
// built under each persistence model, and in each the accounts must hold.
#include "CrashStates.h"
#include "Figures.h"
#include "UserFileFixture.h"
#include "store/UserFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

using namespace testing_support;
using crash::Folder;
using crash::Persistence;

namespace {

struct RecordedRun {
    const char* name;
    Folder before;
    std::function<void()> operation;
    std::vector<std::u16string> kept;  // found in every state
    std::u16string changed;            // the line added or changed: whole or absent
};

void PrintTo(const RecordedRun& run, std::ostream* out) { *out << run.name; }

const std::string Mark = Utf8WithMark.mark;
const std::u16string Later = u"zed:9";  // the next start's first change

// Old lines that take the new record across the first sector's end.
std::string NearlyASector(const FileFormat& format)
{
    std::string bytes = format.mark;
    for (int i = 0; bytes.size() + format.Line(u"user00:password00").size() < crash::SectorSize - 4; ++i)
        bytes += format.Line(u"user" + std::u16string(1, u'A' + i % 26) + u"0:password" + std::u16string(1, u'a' + i % 26));
    return bytes;
}

// A run killed before it saved the folder, or an editor saving through a new
// name: the user file's name is not yet on disk when the append starts.
void SavedUnderANewName(const std::string& bytes)
{
    const int file = ::open(store::TemporaryFileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    ASSERT_EQ(::write(file, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ASSERT_EQ(::fsync(file), 0);
    ::close(file);
    ASSERT_EQ(::rename(store::TemporaryFileName.c_str(), store::UserFileName.c_str()), 0);
}

std::vector<RecordedRun> Runs()
{
    const auto append = [](std::u16string key) { return [key] { store::AppendRecord(key); }; };
    const std::string ascii = NearlyASector(Utf8WithMark);
    const std::string wide = NearlyASector(Utf16LeWithMark);
    return {
        {"AppendAcrossASector", {{"Quillmark.txt", ascii + "ann:old\n"}}, append(u"bob:secret"), {u"ann:old", u"userA0:passworda"}, u"bob:secret"},
        {"AppendInUtf16", {{"Quillmark.txt", wide + Utf16(u"ann:old\n")}}, append(u"\U0001F511b:secret"), {u"ann:old"}, u"\U0001F511b:secret"},
        {"FirstCreate", {}, append(u"bob:secret"), {}, u"bob:secret"},
        {"AppendAfterAnUnsavedName", {{"Quillmark.txt", Mark + "ann:old\n"}},
         [] { SavedUnderANewName(Mark + "ann:old\n"), store::AppendRecord(u"bob:secret"); }, {u"ann:old"}, u"bob:secret"},
        {"RewriteOfTwoSectors", {{"Quillmark.txt", ascii + "ann:old\n" + ascii.substr(Mark.size())}},
         [] { store::RewriteUserFile(u"ann:old", u"ann:new"); }, {u"userA0:passworda"}, u"ann:new"},
        {"AppendAfterAnUnendedLine", {{"Quillmark.txt", Mark + "ann:old"}}, append(u"bob:secret"), {u"ann:old"}, u"bob:secret"},
        {"AppendAfterALoneCr", {{"Quillmark.txt", Mark + "ann:old\r"}}, append(u"bob:secret"), {}, u"bob:secret"},
        {"AppendAfterAnUnfinishedLine", {{"Quillmark.txt", Mark + "ann:old\n" + std::string(1, '\0') + "ob:half\n"}},
         append(u"bob:secret"), {u"ann:old"}, u"bob:secret"},
        // A recovery whose rename is not yet sure, lost with a later rewrite's,
        // would leave that rewrite's unfinished copy to be adopted.
        {"RecoveryThenRewrite", {{"Quillmark_new.txt", Mark + "ann:old\nbob:1\n"}},
         [] { store::ScanUserFile(u"bob:1"), store::RewriteUserFile(u"ann:old", u"ann:new"); }, {u"bob:1"}, u"ann:new"},
    };
}

void Lay(const Folder& folder)
{
    for (const auto& entry : std::filesystem::directory_iterator("."))
        std::filesystem::remove_all(entry.path());
    for (const auto& [name, bytes] : folder)
        WriteFile(name, bytes, 0600);
}

Folder Read()
{
    Folder folder;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        folder[entry.path().filename().string()] = ReadFile(entry.path().filename().string()).value_or("");
    return folder;
}

// The accounts a folder holds, as bytes: in the user file, or else in the
// copy that the next start adopts. A missing file, a mark alone and an
// unfinished last line (it starts with NUL and matches no key) hold none.
std::string Accounts(const Folder& folder)
{
    auto file = folder.find(store::UserFileName);
    if (file == folder.end())
        file = folder.find(store::TemporaryFileName);
    if (file == folder.end())
        return {};
    std::string bytes = file->second;
    const bool wide = bytes.starts_with(Utf16LeWithMark.mark);
    const std::size_t unit = wide ? 2 : 1;
    const std::size_t mark = wide ? 2 : bytes.starts_with(Mark) ? Mark.size() : 0;
    const std::string lineFeed = wide ? Utf16(u"\n") : "\n";
    std::size_t lastLine = mark;
    for (std::size_t at = mark; at + 2 * unit <= bytes.size(); at += unit)
        if (bytes.compare(at, unit, lineFeed) == 0)
            lastLine = at + unit;
    if (lastLine < bytes.size() && bytes.substr(lastLine, unit) == std::string(unit, '\0'))
        bytes.resize(lastLine);
    return bytes.size() == mark ? std::string() : bytes;
}

std::string LaterStart(const Folder& folder)
{
    Lay(folder);
    store::AppendRecord(Later);
    return ReadFile(store::UserFileName).value_or("(no user file)");
}

class PowerCut : public UserFileTest, public ::testing::WithParamInterface<RecordedRun> {
protected:
    // What is wrong with the state, if anything.
    std::string Check(const Folder& state, const Folder& before, const Folder& after, const std::string& laterBefore,
                      const std::string& laterAfter) const
    {
        const RecordedRun& run = GetParam();
        const std::string accounts = Accounts(state);
        if (accounts != Accounts(before) && accounts != Accounts(after))
            return "the user file holds neither the old accounts nor the new";
        Lay(state);
        for (const std::u16string& key : run.kept)
            if (Scan(key) != store::ScanOutcome::Found)
                return "an old account is not found";
        for (std::size_t size = 1; size < run.changed.size(); ++size)
            if (Scan(run.changed.substr(0, size)) == store::ScanOutcome::Found)
                return "a part of the new record matches";
        const std::string later = LaterStart(state);
        if (later != laterBefore && later != laterAfter)
            return "the next start leaves neither the old accounts nor the new";
        return {};
    }
};

std::string Describe(const Folder& folder)
{
    std::string text;
    for (const auto& [name, bytes] : folder) {
        text += "\n  " + name + ": ";
        for (const unsigned char byte : bytes)
            text += byte >= 0x20 && byte < 0x7F ? std::string(1, static_cast<char>(byte)) : "\\x" + std::to_string(byte);
    }
    return text;
}

} // namespace

TEST_P(PowerCut, LeavesEveryAccountAndNoPartOfARecord)
{
    const RecordedRun& run = GetParam();
    Lay(run.before);
    crash::StartRecording();
    run.operation();
    const std::vector<crash::Call> calls = crash::StopRecording();
    const Folder after = Read();
    ASSERT_NE(Accounts(after), Accounts(run.before)) << "the run changed nothing";
    const std::string laterBefore = LaterStart(run.before);
    const std::string laterAfter = LaterStart(after);

    for (const Persistence model : {Persistence::Ext4Ordered, Persistence::StrictPosix}) {
        const char* modelName = model == Persistence::Ext4Ordered ? "ext4" : "strict";
        const crash::CrashStateSet states = crash::CrashStates(run.before, calls, model);
        long violations = 0;
        for (const Folder& state : states.any) {
            std::string wrong = Check(state, run.before, after, laterBefore, laterAfter);
            // What the operation reported done must outlast a cut after it.
            if (wrong.empty() && states.finished.count(state) && Accounts(state) != Accounts(after))
                wrong = "a finished change is lost";
            violations += !wrong.empty();
            if (!wrong.empty() && violations <= 3) {
                std::string recorded;
                for (const crash::Call& call : calls)
                    recorded += "\n  " + crash::Describe(call);
                ADD_FAILURE() << modelName << ": " << wrong << " in" << Describe(state) << "\nafter the calls" << recorded;
            }
        }
        ReportFigure(std::string("crash-states-") + modelName, static_cast<long>(states.any.size()));
        ReportFigure(std::string("crash-violations-") + modelName, violations);
    }
}

INSTANTIATE_TEST_SUITE_P(EachRecordedRun, PowerCut, ::testing::ValuesIn(Runs()),
                         [](const auto& info) { return std::string(info.param.name); });
