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

// Why a port a search tried gave no speakers and what to do, one line each, for the window's
// message and the terminal. %path%, %group% and %holders% stand for the facts (%first% and
// %last% for the first and last of several missing ports); a holder is %name% (pid %pid%),
// holders are joined by ", ".
constexpr const char* kPermissionAdvice =
    "%path%: permission denied. Join the dialout group (sudo usermod -aG dialout $USER), then "
    "log out and in again.";
constexpr const char* kGroupPermissionAdvice =
    "%path%: permission denied; the device belongs to the group %group%. Join it (sudo usermod "
    "-aG %group% $USER), then log out and in again.";
constexpr const char* kRootOnlyAdvice =
    "%path%: permission denied; only root may open it. A udev rule with GROUP=\"dialout\" gives "
    "it to the dialout group; join that (sudo usermod -aG dialout $USER) and log in again.";
constexpr const char* kHeldAdvice =
    "%path%: in use, held by %holders%. Quit the program holding it and search again.";
constexpr const char* kHolder = "%name% (pid %pid%)";
constexpr const char* kUnnamedHolder = "a program (pid %pid%)";
constexpr const char* kInUseAdvice =
    "%path%: in use by another program. Close the other program and search again.";
constexpr const char* kUncheckedHoldersNote =
    " Programs of other users could not be checked without root.";
constexpr const char* kSilentAdvice =
    "%path%: no speaker answered. Check the power, the cabling and the bus's termination.";
constexpr const char* kNotSerialAdvice =
    "%path% is not a serial port; check FLASHDESK_PORT_TEMPLATE, FLASHDESK_PORT or --port.";
constexpr const char* kMissingAdvice = "%path%: no such device. Is the adapter plugged in?";
constexpr const char* kNoPortsAdvice =
    "%first% to %last%: none of these devices exists. Is the adapter plugged in?";
constexpr const char* kVanishedAdvice =
    "%path%: the device went away. Is the adapter still plugged in?";
constexpr const char* kTimedOutAdvice =
    "%path%: the device did not answer the system in time. Plug the adapter in again.";
constexpr const char* kOtherAdvice =
    "%path%: could not be used. Plug the adapter in again or try another port.";
// The window's message after a search that found no speakers; a line of advice follows for
// each port that exists but could not be opened, then the hints on the machine's adapters.
constexpr const char* kPortsRefusedMessage =
    "No speakers were found. FlashDesk could not use these ports:";

// What spoils a search on this machine. %device% is an adapter in words (its product, or
// kUnnamedAdapter, with %ids% as 1a86:7523 and %usb% as 1-2); %idVendor% and %idProduct% are
// its USB ids as udev writes them.
constexpr const char* kAdapterDevice = "%product% (%ids%) at USB %usb%";
constexpr const char* kUnnamedAdapter = "USB serial adapter";
constexpr const char* kBrlttyHint =
    "%device% has no serial port: brltty has claimed it. Remove brltty (sudo apt remove brltty) "
    "or stop it, then plug the adapter in again.";
constexpr const char* kNoPortHint =
    "%device% has no serial port: its driver is missing or another program claimed it (often "
    "brltty). Plug the adapter in again; sudo dmesg tells what happened.";
constexpr const char* kModemManagerHint =
    "ModemManager is running and may probe %device%, which disturbs a search. Stop it during "
    "uploads (sudo systemctl stop ModemManager), or keep it off the adapter: put the line "
    "ATTRS{idVendor}==\"%idVendor%\", ATTRS{idProduct}==\"%idProduct%\", "
    "ENV{ID_MM_DEVICE_IGNORE}=\"1\" in /etc/udev/rules.d/99-flashdesk.rules, run sudo udevadm "
    "control --reload and plug the adapter in again.";

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
