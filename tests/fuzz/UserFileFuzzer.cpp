// Any bytes as a user file: the line-by-line pieces add up to the file, the
// fast paths agree with reading it line by line, and a rewrite keeps every line it does
// not replace byte for byte, in order.
#include "platform/files/TextReader.h"
#include "store/Record.h"
#include "store/RecordSearch.h"
#include "store/UserFile.h"
#include "tests/support/LineByLine.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Pieces = testing_support::RawLines;

void Check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "violated: %s\n", what);
        std::abort();
    }
}

std::filesystem::path g_folder;

void EnterFolderOnce()
{
    if (!g_folder.empty())
        return;
    std::string pattern = (std::filesystem::temp_directory_path() / "quillmark-fuzz-XXXXXX").string();
    Check(::mkdtemp(pattern.data()) != nullptr, "a temporary folder");
    g_folder = pattern;
    std::filesystem::current_path(g_folder);
    std::atexit([] { std::filesystem::remove_all(g_folder); });
}

Pieces Read(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return testing_support::ReadRawLines(std::string(std::istreambuf_iterator<char>(in), {}));
}

bool Found(const std::u16string& key, bool fast)
{
    std::u16string why;
    const std::optional<store::Record> record = store::Record::Admit(key, why);
    Check(record.has_value(), "the key is admitted");
    if (!fast) {
        const Pieces read = Read(store::UserFileName);
        for (const auto& line : read.lines)
            if (line.bytes == record->Bytes(read.encoding))
                return true;
        return false;
    }
    auto reader = files::TextReader::Open(store::UserFileName);
    Check(reader.Ok(), "the file opens");
    auto found = store::FindRecord(reader.Value(), *record);
    Check(found.Ok(), "the file reads");
    return found.Value();
}

// The block search finds what the line-by-line search finds.
void CheckSearch(const std::u16string& key)
{
    Check(Found(key, true) == Found(key, false), "the block search agrees");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    EnterFolderOnce();
    // The first byte picks which lines the rewrite replaces; the rest is the file.
    const unsigned selector = size > 0 ? data[0] : 0;
    const std::string contents(reinterpret_cast<const char*>(data) + (size > 0), size - (size > 0));
    std::ofstream(store::UserFileName, std::ios::binary | std::ios::trunc) << contents;

    const Pieces before = Read(store::UserFileName);
    std::string joined(files::MarkOf(before.encoding));
    for (const auto& line : before.lines)
        joined += line.bytes + line.end;
    Check(joined + before.trailing == contents, "the pieces add up to the file");
    // The first byte picks the line whose record the rewrite replaces.
    std::u16string key;
    std::string keyBytes;
    if (!before.lines.empty()) {
        keyBytes = before.lines[selector % before.lines.size()].bytes;
        key = files::DecodeText(keyBytes, before.encoding);
    }
    if (store::RefusalOf(key) || files::EncodeText(key, before.encoding) != keyBytes)
        return 0;
    CheckSearch(key);
    Check(store::ScanUserFile(key).GetOutcome() == store::ScanOutcome::Found, "its line is found");

    const std::u16string replacement = u"new:\u00e9\U0001F600";
    auto rewritten = store::RewriteUserFile(key, replacement);
    Check(rewritten.GetOutcome() == store::RewriteOutcome::Done, "the rewrite is done");

    const Pieces after = Read(store::UserFileName);
    Check(after.encoding == before.encoding && after.trailing == before.trailing, "encoding and last byte kept");
    Check(after.lines.size() == before.lines.size(), "no line added or dropped");
    for (std::size_t i = 0; i < before.lines.size(); ++i) {
        if (before.lines[i].bytes == keyBytes)
            Check(after.lines[i].bytes == files::EncodeText(replacement, after.encoding), "replaced line");
        else
            Check(after.lines[i].bytes == before.lines[i].bytes, "a kept line keeps its bytes");
        Check(after.lines[i].end.size() > 0, "every line ends");
        Check(before.lines[i].end.empty() || after.lines[i].end == before.lines[i].end, "line ends kept");
    }
    return 0;
}
