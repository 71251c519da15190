#pragma once
// A fixture for user-file tests: a fresh current folder, and the three file
// formats a user file can have, to build their bytes by hand.
#include "Folder.h"
#include "store/UserFile.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>

namespace testing_support {

struct FileFormat {
    const char* name;
    std::string mark;
    std::string (*encode)(std::u16string_view text);

    // The bytes of a file holding these lines, each followed by `lineEnd`.
    std::string File(std::initializer_list<std::u16string_view> lines, std::u16string_view lineEnd = u"\n") const;
    std::string Line(std::u16string_view text, std::u16string_view lineEnd = u"\n") const;
};

inline void PrintTo(const FileFormat& format, std::ostream* out) { *out << format.name; }

inline bool Mentions(const std::u16string& message, std::u16string_view words)
{
    return message.find(words) != std::u16string::npos;
}

const FileFormat Utf8WithMark{"Utf8WithMark", "\xEF\xBB\xBF", &Utf8};
const FileFormat Utf16LeWithMark{"Utf16LeWithMark", "\xFF\xFE", &Utf16};
const FileFormat Utf16LeWithoutMark{"Utf16LeWithoutMark", "", &Utf16};

class UserFileTest : public ::testing::Test {
protected:
    void GivenUserFile(std::string_view bytes, unsigned mode = 0644) { WriteFile(store::UserFileName, bytes, mode); }
    std::optional<std::string> UserFile() const { return ReadFile(store::UserFileName); }
    bool TemporaryFileLeft() const { return Exists(store::TemporaryFileName); }

    static store::ScanOutcome Scan(const std::u16string& key) { return store::ScanUserFile(key).GetOutcome(); }
    static store::AppendOutcome Append(const std::u16string& key) { return store::AppendRecord(key).GetOutcome(); }
    // Replaces every line equal to `from` with `to`.
    static store::RewriteOutcome Replace(const std::u16string& from, const std::u16string& to);

    TemporaryFolder m_folder;
};

class EachFormat : public UserFileTest, public ::testing::WithParamInterface<FileFormat> {
protected:
    const FileFormat& Format() const { return GetParam(); }
};

std::string FormatName(const ::testing::TestParamInfo<FileFormat>& info);

} // namespace testing_support
