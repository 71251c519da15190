#pragma once
// Names and messages between the program's UTF-8 and the system's UTF-16.
#include <string>

namespace files {

std::wstring WideOf(const std::string& text);
std::string Utf8Of(const wchar_t* text, int size);

} // namespace files
