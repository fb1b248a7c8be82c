// What `info` makes of a file: its name and its bytes both come from the fuzzer. The facts
// must match an independent reading of the same bytes: the size, the digest, and whether an
// upload would refuse it; and the info document must be JSON.
//
// Input: [name length][name][file bytes]; '/' and NUL in the name become '_'.
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/ImageFile.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Sha256.h"
#include "records/ImageInfo.h"
#include "records/JsonDocuments.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace flashdesk;
  if (size == 0)
    return 0;
  const std::size_t nameLength = std::min<std::size_t>(data[0] % 64, size - 1);
  std::string name(reinterpret_cast<const char*>(data + 1), nameLength);
  for (char& c : name) {
    if (c == '/' || c == '\0')
      c = '_';
  }
  if (name.empty() || name == "." || name == "..")
    name = "image.syx";
  const std::uint8_t* bytes = data + 1 + nameLength;
  const std::size_t length = size - 1 - nameLength;
  const std::string path = fuzz::WriteScratchFile(name, bytes, length);
  const records::ImageInfo info = records::DescribeImage(path);
  std::filesystem::remove(path);

  FUZZ_CHECK(info.readable && info.fileBytes == static_cast<std::int64_t>(length));
  const bool sendable = length > ImageHead::kHeaderBytes &&
                        length <= ImageHead::kHeaderBytes + ImageHead::kLargestPayload &&
                        bytes[0] < 0x80 && bytes[1] < 0x80 && bytes[2] < 0x80;
  FUZZ_CHECK(info.refused == !sendable);
  FUZZ_CHECK(info.refused == (info.attemptMs == 0));
  platform::Sha256 digest;
  digest.Add(bytes, length);
  const bool hashed = length <= ImageHead::kHeaderBytes + ImageHead::kLargestPayload;
  FUZZ_CHECK(info.sha256 == (hashed ? digest.HexDigest() : ""));
  FUZZ_CHECK(info.sentHeader.has_value() == (length >= 3));
  const nlohmann::json document =
      nlohmann::json::parse(records::InfoDocument(info), nullptr, false);
  FUZZ_CHECK(document.is_object() && document["refused"] == info.refused);
  return 0;
}
