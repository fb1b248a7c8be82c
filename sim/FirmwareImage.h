#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace flashdesk::sim {

// How our .syx images name what they hold. The engine sends header bytes 0 to 2 unchanged in
// the upload start command, so a speaker can judge an image before its first data block:
//   header byte 0  flash area, which also picks the announced block size:
//                  0 boot loader (4096), 1 test software (16384), 2 application (40960),
//                  3 FPGA software (90112)
//   header byte 1  the SpeakerType code of the model the image is for, or kAnyModel for
//                  software that every model takes (boot loader, test software)
//   header byte 2  the software kind as the firmware list numbers it: 0 FPGA, 1 boot loader,
//                  2 test software, 3 application
//   header bytes 3 to 6  major, minor, 'T', 'K': for people reading the file; never sent
//   payload bytes 0, 1   major and minor of the version the speaker reports after the upload
// The rest of the payload is the image body.
constexpr std::uint8_t kAnyModel = 0;
constexpr std::int32_t kImageHeaderLength = 7;
constexpr std::int32_t kVersionBytes = 2;

// Header byte 0 for a software kind (0 to 3); kinds above 3 get the FPGA area.
std::uint8_t AreaForKind(std::uint8_t kind);

// A whole image file: header, version bytes and bodyLength bytes of body that cover every
// byte value (frame bytes included), so an upload exercises the nibble encoding fully.
std::vector<std::uint8_t> BuildFirmwareImage(std::uint8_t kind, std::uint8_t model,
                                             std::uint8_t major, std::uint8_t minor,
                                             std::int32_t bodyLength);

struct SampleFile {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

// Our sample firmware: two application versions for each of the eight models, a boot loader
// and a test software, named by the firmware list's patterns (TarnS1V1.23.syx ...).
std::vector<SampleFile> SampleFirmwareFiles();

// Writes the sample firmware into folder, creating it; false with a reason on failure.
bool WriteSampleFirmware(const std::string& folder, std::string& error);

}  // namespace flashdesk::sim
