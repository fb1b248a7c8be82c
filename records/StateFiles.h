#pragma once

#include <string>

// What each operating system's file provides to the upload history.
namespace flashdesk::records {

// The history file in the user's state folder; empty when the system names none.
std::string SystemHistoryPath();
// Why SystemHistoryPath is empty, naming what the user would set.
std::string MissingStateFolder();

// Appends text to the file at path, creating the file, as one write that leaves it ending in
// a line end; when the file does not end in one (an earlier write broke off), a line end goes
// first. False, with the system's reason in problem, when the whole text was not written.
bool AppendWholeLine(const std::string& path, const std::string& text, std::string& problem);

}  // namespace flashdesk::records
