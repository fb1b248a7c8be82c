// What `info` and an upload make of a file: its name and its bytes both come from the fuzzer.
// The facts must match an independent reading of the same bytes: the size, the digest, and
// whether an upload would refuse it; and the info document must be JSON. An image the upload
// opens gives its header, then its payload block by block, and the digest of every byte; one it
// refuses says why.
//
// Input: [name length][name][file bytes]; '/' and NUL in the name become '_'.
#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/ImageFile.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Sha256.h"
#include "protocol/Protocol.h"
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
  ImageFile file;
  ImageHead head;
  std::string problem;
  const bool opened = OpenSendableImage(file, path, head, problem);
  std::vector<std::uint8_t> read(head.header, head.header + (opened ? ImageHead::kHeaderBytes : 0));
  std::uint8_t block[kFileBytesPerBlock];
  while (opened && !file.AtEnd()) {
    const std::int32_t count = file.Read(block, kFileBytesPerBlock);
    FUZZ_CHECK(count > 0);
    read.insert(read.end(), block, block + count);
  }
  file.Close();
  std::filesystem::remove(path);

  FUZZ_CHECK(info.readable && info.fileBytes == static_cast<std::int64_t>(length));
  const bool sendable = length > ImageHead::kHeaderBytes &&
                        length <= ImageHead::kHeaderBytes + ImageHead::kLargestPayload &&
                        bytes[0] < 0x80 && bytes[1] < 0x80 && bytes[2] < 0x80;
  FUZZ_CHECK(info.refused == !sendable && opened == sendable && problem.empty() == sendable);
  FUZZ_CHECK(!opened ||
             head.payloadLength == static_cast<std::int64_t>(length) - ImageHead::kHeaderBytes);
  FUZZ_CHECK(!opened || std::equal(read.begin(), read.end(), bytes, bytes + length));
  FUZZ_CHECK(info.refused == (info.attemptMs == 0));
  platform::Sha256 digest;
  digest.Add(bytes, length);
  const bool hashed = length <= ImageHead::kHeaderBytes + ImageHead::kLargestPayload;
  const std::string sha256 = digest.HexDigest();
  FUZZ_CHECK(info.sha256 == (hashed ? sha256 : ""));
  FUZZ_CHECK(file.Digest() == (opened ? sha256 : ""));
  FUZZ_CHECK(info.sentHeader.has_value() == (length >= 3));
  const nlohmann::json document =
      nlohmann::json::parse(records::InfoDocument(info), nullptr, false);
  FUZZ_CHECK(document.is_object() && document["refused"] == info.refused);
  return 0;
}
