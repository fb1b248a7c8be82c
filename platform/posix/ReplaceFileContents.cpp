#include "platform/ReplaceFileContents.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/SystemError.h"
#include "platform/posix/UniqueFd.h"

namespace flashdesk::platform {
namespace {

namespace fs = std::filesystem;

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno != EINTR)
      return false;
    done += written > 0 ? static_cast<std::size_t>(written) : 0;
  }
  return true;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const std::string& content,
                         std::string& problem) {
  fs::path target = path;
  std::error_code error;
  if (fs::is_symlink(target, error)) {
    target = fs::canonical(target, error);
    if (error) {
      problem = error.message();
      return false;
    }
  }
  if (target.has_parent_path()) {
    fs::create_directories(target.parent_path(), error);
    if (error) {
      problem = error.message();
      return false;
    }
  }
  std::string temporary = target.string() + ".XXXXXX";
  UniqueFd file(::mkstemp(temporary.data()));
  if (file.Get() < 0) {
    problem = SystemMessage(errno);
    return false;
  }
  struct stat old {};
  const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  if (!WriteAll(file.Get(), content) || ::fchmod(file.Get(), mode) != 0 ||
      ::fsync(file.Get()) != 0 || ::close(file.Release()) != 0 ||
      ::rename(temporary.c_str(), target.c_str()) != 0) {
    problem = SystemMessage(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  // The rename itself survives a crash once the folder is on disk.
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const UniqueFd directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.Get() >= 0)
    ::fsync(directory.Get());
  return true;
}

}  // namespace flashdesk::platform
