// The settings file as the user, QSettings or a damaged disk may have left it, read by the
// POSIX store. A file it refuses is named once and never overwritten. In a file it takes, a
// written port reads back, and a firmware folder reads back exactly when its write was taken
// (a refused write leaves the file as it was); the other values stay.
//
// Input: the file, then, after the last NUL byte, the firmware folder to write (none without).
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/posix/FileSettingsStore.h"

namespace {

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using flashdesk::platform::FileSettingsStore;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.rfind('\0');
  const std::string text = input.substr(0, cut);
  const std::string path = flashdesk::fuzz::WriteScratchFile(
      "TARN-System.conf", reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  std::vector<std::string> warnings;
  FileSettingsStore store(path, [&warnings](const std::string& why) { warnings.push_back(why); });
  std::string port;
  std::string folder;
  if (!store.OpenSection()) {
    FUZZ_CHECK(!store.ReadValue("ComPort", port) && !store.WriteValue("ComPort", "3"));
    FUZZ_CHECK(warnings.size() == 1 && Contents(path) == text);
    return 0;
  }
  if (store.ReadValue("ComPort", port))
    FUZZ_CHECK(port.size() < FileSettingsStore::kMaxValueBytes);
  FUZZ_CHECK(store.WriteValue("ComPort", "3") && warnings.empty());
  bool hasFolder = store.ReadValue("FirmwareFolder", folder);
  if (cut != std::string::npos) {
    const std::string before = Contents(path);
    if (store.WriteValue("FirmwareFolder", input.substr(cut + 1))) {
      hasFolder = true;
      folder = input.substr(cut + 1);
    } else {
      FUZZ_CHECK(Contents(path) == before);
    }
  }

  FileSettingsStore reread(path, {});
  std::string value;
  FUZZ_CHECK(reread.OpenSection());
  FUZZ_CHECK(reread.ReadValue("ComPort", value) && value == "3");
  value.clear();
  FUZZ_CHECK(reread.ReadValue("FirmwareFolder", value) == hasFolder && value == folder);
  return 0;
}
