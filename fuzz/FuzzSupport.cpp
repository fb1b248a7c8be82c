#include "fuzz/FuzzSupport.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <system_error>

namespace flashdesk::fuzz {
namespace {

namespace fs = std::filesystem;

struct Scratch {
  Scratch() {
    std::error_code error;
    const fs::path memory = "/dev/shm";
    const fs::path base = fs::is_directory(memory, error) && ::access("/dev/shm", W_OK) == 0
                              ? memory
                              : fs::temp_directory_path();
    path = (base / ("flashdesk-fuzz-" + std::to_string(::getpid()))).string();
    fs::create_directories(path);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  std::string path;
};

}  // namespace

const std::string& ScratchFolder() {
  static const Scratch scratch;
  return scratch.path;
}

std::string WriteScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
  const std::string path = ScratchFolder() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  FUZZ_CHECK(out.good());
  return path;
}

}  // namespace flashdesk::fuzz
