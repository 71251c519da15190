#include "store/Messages.h"

#include "platform/files/TextEncoding.h"
#include "store/UserFile.h"

#include <filesystem>
#include <system_error>

namespace store {
namespace {

std::u16string Widen(const std::string& text)
{
    return files::DecodeText(text, files::TextEncoding::Utf8WithMark);
}

std::u16string Sentence(std::u16string text)
{
    if (!text.empty() && text[0] >= u'a' && text[0] <= u'z')
        text[0] = static_cast<char16_t>(text[0] - u'a' + u'A');
    return text;
}

std::u16string AbsolutePath(const std::filesystem::path& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    const std::u8string bytes = (error ? path : absolute).u8string();
    return Widen(std::string(bytes.begin(), bytes.end()));
}

const std::u16string nothingChanged = u" Nothing was changed.";
const std::u16string outOfMemory = u"There is not enough memory for the user file.";
const std::u16string outOfMemoryNothingChanged = outOfMemory + nothingChanged;
const std::u16string outOfMemoryAfterTheChange =
    u"The change was made, but there was not enough memory to save it to disk. It may be lost if the computer"
    u" stops before the disk catches up.";

} // namespace

std::u16string PathForUser(const std::string& name)
{
    if (name.empty())
        return {};
    if (name == ".") {
        std::error_code error;
        return u"the folder " + AbsolutePath(std::filesystem::current_path(error));
    }
    // Names are UTF-8; a path made from a narrow string would read them in the code page.
    return AbsolutePath(std::u8string(name.begin(), name.end()));
}

std::u16string Describe(const files::FileError& error)
{
    return PathForUser(error.Name()) + u" could not be " + Widen(error.Action()) + u": " + Widen(error.Reason());
}

std::u16string FailureSentence(const files::FileError& error)
{
    return Sentence(Describe(error) + u".");
}

std::u16string NothingChanged(const std::u16string& why)
{
    return Sentence(why) + nothingChanged;
}

std::u16string OnlyUnfinishedLineRemoved(const std::u16string& message)
{
    if (!message.ends_with(nothingChanged))
        return message;
    return message.substr(0, message.size() - nothingChanged.size())
           + u" No account was changed; only an unfinished line at the end, which matched no account, was removed.";
}

std::u16string NothingChanged(const files::FileError& error)
{
    if (error.IsBusy())
        return LockedByAnotherCopy();
    return NothingChanged(Describe(error) + u".");
}

std::u16string ChangedByAnotherProgram()
{
    return PathForUser(UserFileName)
           + u" was changed by another program during the change. Nothing was changed; please try again.";
}

std::u16string PutBackButNotSaved(const files::FileError& error)
{
    return PathForUser(TemporaryFileName) + u", left by a change that never finished, is " + PathForUser(UserFileName)
           + u" again and holds the accounts, but " + Describe(error)
           + u". It may be lost if the computer stops before the disk catches up. No account was changed.";
}

std::u16string ChangedButNotSaved(const files::FileError& error)
{
    return u"The change was made, but " + Describe(error)
           + u". It may be lost if the computer stops before the disk catches up.";
}

std::u16string LockedByAnotherCopy()
{
    return PathForUser(UserFileName)
           + u" is being changed by another copy of the program. Nothing was changed; please try again.";
}

const std::u16string& OutOfMemory()
{
    return outOfMemory;
}

const std::u16string& OutOfMemoryNothingChanged()
{
    return outOfMemoryNothingChanged;
}

const std::u16string& OutOfMemoryAfterTheChange()
{
    return outOfMemoryAfterTheChange;
}

std::u16string UserFileMissing()
{
    return PathForUser(UserFileName) + u" does not exist.";
}

std::u16string UserFileNotRegular()
{
    return Describe(files::FileError(files::FileFault::Other, "opened", UserFileName, "it is not a regular file")) + u".";
}

} // namespace store
