#include "platform/ReplaceFileContents.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <random>

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

// Temporaries are named target.flashdesk-XXXXXX: a shape no user gives a backup, so one that
// is old enough is known to be a killed writer's and can go.
constexpr const char* kTemporaryTag = ".flashdesk-";
constexpr std::size_t kTemporaryLetters = 6;
// A write takes milliseconds; a temporary this old is no write in progress.
constexpr auto kStaleAfter = std::chrono::minutes(1);

bool IsOurTemporary(const std::string& name, const std::string& targetName) {
  const std::string prefix = targetName + kTemporaryTag;
  return name.size() == prefix.size() + kTemporaryLetters && name.rfind(prefix, 0) == 0 &&
         std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                     [](unsigned char c) { return std::isalnum(c) != 0; });
}

void RemoveStaleTemporaries(const fs::path& folder, const fs::path& target) {
  std::error_code error;
  const auto now = fs::file_time_type::clock::now();
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    std::error_code ignored;
    if (!IsOurTemporary(entry->path().filename().string(), target.filename().string()) ||
        !fs::is_regular_file(entry->symlink_status(ignored)))
      continue;
    const fs::file_time_type written = fs::last_write_time(entry->path(), ignored);
    if (!ignored && now - written > kStaleAfter)
      fs::remove(entry->path(), ignored);
  }
}

// Created exclusively with 0666, so a new file gets what the umask allows, as any other would.
int CreateTemporary(const fs::path& target, std::string& temporary) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = target.string() + kTemporaryTag;
    for (std::size_t i = 0; i < kTemporaryLetters; ++i)
      temporary += kLetters[random() % (sizeof kLetters - 1)];
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST)
      return fd;
  }
  return -1;
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
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  RemoveStaleTemporaries(folder, target);
  std::string temporary;
  UniqueFd file(CreateTemporary(target, temporary));
  if (file.Get() < 0) {
    problem = SystemMessage(errno);
    return false;
  }
  // An existing file keeps its mode; a new one has the umask's from the open.
  struct stat old {};
  const bool replacing = ::stat(target.c_str(), &old) == 0;
  if (!WriteAll(file.Get(), content) ||
      (replacing && ::fchmod(file.Get(), old.st_mode & 07777) != 0) || ::fsync(file.Get()) != 0 ||
      ::close(file.Release()) != 0 || ::rename(temporary.c_str(), target.c_str()) != 0) {
    problem = SystemMessage(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  // The rename itself survives a crash once the folder is on disk.
  const UniqueFd directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.Get() >= 0)
    ::fsync(directory.Get());
  return true;
}

}  // namespace flashdesk::platform
