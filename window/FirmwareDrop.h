#pragma once

#include <string>
#include <vector>

namespace flashdesk::window {

// What became of files dropped on the window.
struct DropOutcome {
  std::vector<std::string> copied;   // file names
  std::vector<std::string> refused;  // "name: reason"
};

// Copies each file into folder, created when missing. Refuses names other than *.syx, names
// the folder already holds (nothing is ever overwritten) and files the upload would refuse.
DropOutcome CopyFirmwareFiles(const std::vector<std::string>& paths, const std::string& folder);

// The one message that tells the user what a drop did.
std::string DropMessage(const DropOutcome& outcome);

}  // namespace flashdesk::window
