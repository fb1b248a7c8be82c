#include "platform/FileSearch.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace flashdesk::platform {
namespace {

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

// Iterative match with backtracking to the last *, linear in practice and never recursive.
bool WildcardMatches(const std::string& pattern, const std::string& name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starAt = std::string::npos;
  std::size_t resumeAt = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      resumeAt = n;
    } else if (p < pattern.size() && Lower(pattern[p]) == Lower(name[n])) {
      ++p;
      ++n;
    } else if (starAt != std::string::npos) {
      p = starAt + 1;
      n = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') {
    ++p;
  }
  return p == pattern.size();
}

namespace {

std::string LowerCopy(const std::string& text) {
  std::string lowered(text);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), Lower);
  return lowered;
}

bool CaseInsensitiveLess(const std::string& a, const std::string& b) {
  const std::string lowerA = LowerCopy(a);
  const std::string lowerB = LowerCopy(b);
  // Names equal but for case still get a fixed order.
  return lowerA != lowerB ? lowerA < lowerB : a < b;
}

}  // namespace

std::vector<std::string> FindFiles(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  std::error_code error;
  std::filesystem::directory_iterator entries(folder, error);
  if (error) {
    return names;
  }
  // Incrementing with an error code: a folder that vanishes midway ends the list, not the run.
  const std::filesystem::directory_iterator end;
  while (entries != end) {
    std::error_code typeError;
    if (entries->is_regular_file(typeError)) {
      std::string name = entries->path().filename().string();
      if (WildcardMatches(pattern, name)) {
        names.push_back(std::move(name));
      }
    }
    entries.increment(error);
    if (error) {
      break;
    }
  }
  std::sort(names.begin(), names.end(), CaseInsensitiveLess);
  return names;
}

char PathSeparator() {
  return static_cast<char>(std::filesystem::path::preferred_separator);
}

}  // namespace flashdesk::platform
