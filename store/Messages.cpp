#include "store/Messages.h"

#include "platform/files/TextEncoding.h"

namespace store {

std::u16string Widen(const std::string& text)
{
    return files::DecodeText(text, files::TextEncoding::Utf8WithMark);
}

std::u16string NothingChanged(const std::u16string& why)
{
    return why + u" Nothing was changed.";
}

std::u16string NothingChanged(const files::FileError& error)
{
    if (error.IsBusy())
        return LockedByAnotherCopy();
    return NothingChanged(Widen(error.Message() + "."));
}

std::u16string ChangedButNotSaved(const files::FileError& error)
{
    return u"The change was made, but " + Widen(error.Message())
           + u". It may be lost if the computer stops before the disk catches up.";
}

std::u16string LockedByAnotherCopy()
{
    return u"Quillmark.txt is being changed by another copy of the program. Nothing was changed; "
           u"please try again.";
}

std::u16string OutOfMemory()
{
    return u"There is not enough memory for the user file.";
}

} // namespace store
