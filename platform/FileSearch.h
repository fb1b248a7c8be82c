#pragma once

#include <string>
#include <vector>

namespace flashdesk::platform {

// Names (without folder) of the regular files in folder that match pattern, where * stands for
// any run of characters and letter case is ignored; in case-insensitive alphabetical order.
// A missing folder gives an empty list.
std::vector<std::string> FindFiles(const std::string& folder, const std::string& pattern);

// Whether FindFiles would list a file called name for pattern.
bool WildcardMatches(const std::string& pattern, const std::string& name);

// The platform's path separator.
char PathSeparator();

}  // namespace flashdesk::platform
