#include "records/StateFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/SystemError.h"

namespace flashdesk::records {

std::string SystemHistoryPath() {
  // A relative XDG_STATE_HOME is invalid and to be ignored.
  const char* state = std::getenv("XDG_STATE_HOME");
  const char* home = std::getenv("HOME");
  std::string folder;
  if (state != nullptr && state[0] == '/')
    folder = state;
  else if (home != nullptr && home[0] != '\0')
    folder = std::string(home) + "/.local/state";
  else
    return {};
  return folder + "/flashdesk/history.jsonl";
}

std::string MissingStateFolder() {
  return "neither XDG_STATE_HOME (an absolute path) nor HOME names a folder";
}

bool AppendWholeLine(const std::string& path, const std::string& text, std::string& problem) {
  // O_APPEND puts every write at the end as one step, also with several writers.
  const int file = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (file < 0) {
    problem = platform::SystemMessage(errno);
    return false;
  }
  std::string line = text + "\n";
  struct stat status {};
  char last = '\n';
  if (::fstat(file, &status) == 0 && status.st_size > 0 &&
      ::pread(file, &last, 1, status.st_size - 1) == 1 && last != '\n') {
    line.insert(line.begin(), '\n');
  }
  ssize_t written;
  do {
    written = ::write(file, line.data(), line.size());
  } while (written < 0 && errno == EINTR);
  bool complete = false;
  if (written < 0)
    problem = platform::SystemMessage(errno);
  else if (written != static_cast<ssize_t>(line.size()))
    problem = "the disk took only part of the line";
  else if (::fsync(file) != 0)
    problem = platform::SystemMessage(errno);
  else
    complete = true;
  ::close(file);
  return complete;
}

}  // namespace flashdesk::records
