#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "records/Results.h"

namespace flashdesk::records {

// What the firmware list makes of a file name.
struct CatalogReading {
  std::int32_t kind = 0;  // kKindApplication, kKindBoot or kKindTest
  // The model whose list offers an application; absent for boot loader and test software,
  // which every model's list offers.
  std::optional<std::int32_t> modelType;
  std::int32_t version = 0;  // hundredths, as the list shows it: 123 is 1.23
};

// The reading for a file name without folder; absent when no model's list would offer it.
std::optional<CatalogReading> ReadCatalogName(const std::string& fileName);

// The last part of path, taken from its bytes: a name need not be valid text in any encoding,
// which a conversion to a file-system path would refuse on Windows.
std::string FileNameOf(const std::string& path);

// What FlashDesk would send for one image file.
struct ImageInfo {
  std::string path;
  // False when the file cannot be read at all; the sizes and digest are then empty.
  bool readable = false;
  std::int64_t fileBytes = 0;
  // The bytes after the 7-byte header; 0 for a shorter file.
  std::int64_t payloadBytes = 0;
  // Header bytes 0 to 2, which the upload start sends unchanged; absent for a shorter file.
  // Byte 0 is the flash area, which also picks the announced block size.
  std::optional<std::array<std::uint8_t, 3>> sentHeader;
  std::int32_t blockSize = 0;
  // Data blocks of up to 66 payload bytes.
  std::int64_t dataBlocks = 0;
  // One attempt at the engine's pacing; 0 for a refused file.
  std::int64_t attemptMs = 0;
  // Empty also for a file too long to send, which is never read past its header.
  std::string sha256;
  std::optional<CatalogReading> catalog;
  // Whether the upload would stop before sending anything, and why.
  bool refused = false;
  std::string refusal;
};

// Reads the file at path; never opens a port.
ImageInfo DescribeImage(const std::string& path);

// The file's facts as the documents and the history give them.
FileFacts FileFactsOf(const ImageInfo& image);

}  // namespace flashdesk::records
