#pragma once

#include <string>

namespace flashdesk::platform {

// Replaces the file at path with content in one step: written beside it and renamed over it,
// so a failure or a crash never leaves half a file. A link keeps pointing at the file it names
// and an existing file keeps its permissions; missing folders are made. False, with the
// system's reason in problem, when the file was not replaced.
bool ReplaceFileContents(const std::string& path, const std::string& content, std::string& problem);

}  // namespace flashdesk::platform
