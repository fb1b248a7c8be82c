#pragma once

namespace flashdesk::strings {

// The window's string table, by resource number.
constexpr const char* kAboutItem = "&About FlashDesk...";  // 101
constexpr const char* kUpload = "UPLOAD";                  // 102
constexpr const char* kExit = "Exit";                      // 103
constexpr const char* kHelp = "Help";                      // 104
constexpr const char* kProgress = "Progress";              // 105

// The status line, written alike by the window and the terminal front end.
constexpr const char* kIdleStatus = "Status: ";
constexpr const char* kUploadingStatus = "Status: Uploading Firmware";
constexpr const char* kCompleteStatus = "Status: Upload Complete";
constexpr const char* kErrorsStatus = "Status: One Or More Errors May Have Occoured";
constexpr const char* kClosingStatus = "Status: Closing.... Please wait!!!";

}  // namespace flashdesk::strings
