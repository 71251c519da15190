// Runs one user-file operation, as the program's dialogs do, on the user file
// of a folder; a benchmark times the whole process.
//   store_bench scan FOLDER USER PASSWORD       a log-in: the full scan
//   store_bench create FOLDER USER PASSWORD     a created account: the append, checked under the lock
//                                               (the user name gains "-<process id>", new at every run)
//   store_bench append FOLDER USER PASSWORD     the append alone
//   store_bench rewrite FOLDER USER OLD NEW     a password change
// Exits 0 when the operation ran to its expected end, 1 otherwise, 2 on misuse.
#include "platform/gui/Unicode.h"
#include "store/RecordKey.h"
#include "store/UserFile.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

int Report(bool expected, std::u16string_view message)
{
    if (!message.empty())
        std::fprintf(stderr, "%s\n", Utf16ToUtf8(message).c_str());
    return expected ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fputs("usage: store_bench scan|create|append|rewrite FOLDER USER PASSWORD [NEW]\n", stderr);
        return 2;
    }
    const std::string_view operation = argv[1];
    std::filesystem::current_path(argv[2]);
    const std::u16string key = store::RecordKey(Utf8ToUtf16(argv[3]), Utf8ToUtf16(argv[4]));

    if (operation == "scan") {
        const auto scan = store::ScanUserFile(key);
        return Report(scan.GetOutcome() != store::ScanOutcome::Failed, scan.Message());
    }
    if (operation == "create") {
        const std::u16string key =
            store::RecordKey(Utf8ToUtf16(argv[3] + ("-" + std::to_string(::getpid()))), Utf8ToUtf16(argv[4]));
        const auto append = store::AppendRecord(key, store::Duplicates::Refuse);
        return Report(append.GetOutcome() == store::AppendOutcome::Written, append.Message());
    }
    if (operation == "append") {
        const auto append = store::AppendRecord(key, store::Duplicates::Allow);
        return Report(append.GetOutcome() == store::AppendOutcome::Written, append.Message());
    }
    if (operation == "rewrite" && argc == 6) {
        const std::u16string replacement = store::RecordKey(Utf8ToUtf16(argv[3]), Utf8ToUtf16(argv[5]));
        const auto rewrite = store::RewriteUserFile(key, replacement);
        return Report(rewrite.GetOutcome() == store::RewriteOutcome::Done, rewrite.Message());
    }
    std::fputs("usage: store_bench scan|create|append|rewrite FOLDER USER PASSWORD [NEW]\n", stderr);
    return 2;
}
