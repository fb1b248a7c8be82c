#pragma once

#include <string>

namespace flashdesk::win32 {

// Windows speaks UTF-16; everything above it speaks UTF-8. Invalid input is replaced, never
// thrown about.
std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);

}  // namespace flashdesk::win32
