#pragma once

#include <array>

// Every text the user is shown, letter for letter: the window's, the exit checks' and the
// status lines the terminal front end shares. Plain C++, so every layer may use it.
namespace flashdesk::strings {

// The window's string table, by resource number.
constexpr const char* kAboutItem = "&About FlashDesk...";  // 101
constexpr const char* kUpload = "UPLOAD";                  // 102
constexpr const char* kExit = "Exit";                      // 103
constexpr const char* kHelp = "Help";                      // 104
constexpr const char* kProgress = "Progress";              // 105

// The right-click menu beside About, and what its items show.
constexpr const char* kSaveReportItem = "&Save Report...";
constexpr const char* kFirmwareFolderItem = "&Firmware Folder...";
constexpr const char* kOpenFirmwareFolderItem = "&Open Firmware Folder";
constexpr const char* kSaveReportCaption = "Save Report";
constexpr const char* kReportFileName = "flashdesk-report.txt";
constexpr const char* kReportFileFilter = "Text files (*.txt);;All files (*)";
constexpr const char* kFirmwareFolderCaption = "Firmware Folder";
constexpr const char* kSerialPortMenu = "Serial &Port";
constexpr const char* kAutomaticPortItem = "&Automatic";

// The window and the captions of its message boxes.
constexpr const char* kProgramName = "FlashDesk";
constexpr const char* kSelectSpeakers = "Select Speakers";
constexpr const char* kSelectSoftware = "Select Software";
constexpr const char* kSearching = "Searching... Please Wait";
constexpr const char* kSearchingLimit = "Shouldn't be more than a minute";

// The About box.
constexpr const char* kAboutCaption = "About FlashDesk";
constexpr const char* kAboutVersion = "FlashDesk Version 1.0";
constexpr const char* kAboutLine = "TARN firmware uploader";
constexpr const char* kOk = "OK";

// Messages and questions.
constexpr const char* kDpiMessage =
    "This program doesn't scale correctly\nwith your dpi settings.\nSet dpi to 96 and try again";
constexpr const char* kNoFirmwareMessage = "No Firmware Selected";
constexpr const char* kUploadRunningMessage = "Another Upload Is Currently In Progress";
constexpr const char* kExitDuringUploadQuestion =
    "If you exit while upload in progress\nyou might damage your setup.\nDo you wish to exit "
    "anyway???";
constexpr const char* kIncompleteListMessage = "Unable to generate complete\nlist of software";
constexpr const char* kReportNotSavedMessage = "The report could not be saved to\n";
constexpr const char* kUnlistedSpeakersMessage =
    "The bus has more speakers than FlashDesk\ncan list and check.\nOnly the first 18 are listed.";
// The exit checks: a missing boot loader refuses the exit; a missing application or FPGA
// software adds its line to the question, which the tail ends.
constexpr const char* kMissingBootMessage =
    "A speaker is missing a boot software\nUpload a new boot application before you exit!!!\n";
constexpr const char* kMissingApplicationLine = "One or more speakers have no valid application\n";
constexpr const char* kMissingFpgaLine = "One or more speakers have no valid fpga software\n";
constexpr const char* kExitQuestionTail =
    "\nIf you exit now your system might crash\n\nDo you want to exit?\n";
constexpr const char* kFolderNotOpenedMessage = "The firmware folder could not be opened:\n";

// What a drop of files on the window did: the copied names after the first line, the refused
// ones after the second, each with its reason.
constexpr const char* kDropCopiedHeading = "Copied to the firmware folder:";
constexpr const char* kDropRefusedHeading = "Not copied:";
constexpr const char* kDropNameTaken = "a file of that name is already there";
constexpr const char* kDropNotFirmware = "not a .syx file";
constexpr const char* kDropImageRefused = "the upload would refuse this file";

// The status line, written alike by the window and the terminal front end.
constexpr const char* kStartStatus = "Status:";
constexpr const char* kIdleStatus = "Status: ";
constexpr const char* kUploadingStatus = "Status: Uploading Firmware";
constexpr const char* kCompleteStatus = "Status: Upload Complete";
constexpr const char* kErrorsStatus = "Status: One Or More Errors May Have Occoured";
constexpr const char* kClosingStatus = "Status: Closing.... Please wait!!!";

// The selection lists: paging, empty lists and the firmware lines (version as 1.23).
constexpr const char* kMoreSpeakers = "More Speakers >>";
constexpr const char* kMoreVersions = "More Versions >>";
constexpr const char* kNoSpeakersFound = "No Speakers Found...";
constexpr const char* kNoFirmwareFound = "Firmware | Not Available...";
constexpr const char* kApplicationLine = "Application | Ver %1.2f";
constexpr const char* kBootLoaderLine = "BootLoader | Ver %1.2f";
constexpr const char* kTestSoftwareLine = "Test Software | Ver %1.2f";

// The help pages, line by line; the first line of each is its heading. Trailing blanks belong
// to the text.
constexpr int kHelpLines = 8;
using HelpText = std::array<const char*, kHelpLines>;
constexpr HelpText kHelpAbout = {
    "About this program:",
    "* UPLOAD scans your setup during startup and identifies",
    "  speakers in your network.",
    "* All speakers will be muted and set to \"Boot mode\" while",
    "  UPLOAD is acting.",
    "* The speakers will be returned to normal \"Application ",
    "  mode\" when you exit UPLOAD",
    "                                                    press HELP for next page",
};
constexpr HelpText kHelpSteps = {
    "Uploading Application Software step by step",
    "* Select the target speaker that you want to upload software to ",
    "  (hit \"More Speakers\" if your model does not show)",
    "* Select the Application software you want to upload",
    "* Hit the \"UPLOAD\" key, the status bar will now read: ",
    "  Uploading Firmware",
    "* When the Status bar reads: \"Completed\", select the next ",
    "  speaker model to be updated or exit the application",
};

}  // namespace flashdesk::strings
