#pragma once

namespace flashdesk::strings {

// The window's string table, by resource number.
constexpr const char* kAboutItem = "&About FlashDesk...";  // 101
constexpr const char* kUpload = "UPLOAD";                  // 102
constexpr const char* kExit = "Exit";                      // 103
constexpr const char* kHelp = "Help";                      // 104
constexpr const char* kProgress = "Progress";              // 105

}  // namespace flashdesk::strings
