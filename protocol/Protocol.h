#pragma once

#include <cstdint>

#include "log/ReplyCode.h"

namespace flashdesk {

constexpr std::uint8_t kFrameStart = 0xF0;
constexpr std::uint8_t kFrameEnd = 0xF7;
constexpr std::uint8_t kUploadStart = 0x62;
constexpr std::uint8_t kDataBlock = 0x63;
constexpr std::uint8_t kModeCommand = 0x64;
constexpr std::uint8_t kStatusReply = 0x65;
constexpr std::uint8_t kIdentifyRequest = 0x66;
constexpr std::uint8_t kIdentifyReply = 0x67;
constexpr std::uint8_t kEverySpeaker = 0x7F;
constexpr std::uint8_t kBootSignalDestination = 0x00;
constexpr std::uint8_t kBootSignalFirst = 0xFE;
constexpr std::uint8_t kBootSignalSecond = 0x00;

// OperatingMode values of the mode command.
constexpr std::uint8_t kBootMode = 1;
constexpr std::uint8_t kApplicationMode = 3;

// SoftwareKind values of a speaker's software entries; the application's kind is the
// speaker's own type code.
constexpr std::uint8_t kKindFpga = 0;
constexpr std::uint8_t kKindBoot = 1;
constexpr std::uint8_t kKindTest = 2;
// The catalog's kind for application files.
constexpr std::uint8_t kKindApplication = 3;

constexpr std::int32_t kFileBytesPerBlock = 66;

// Writes value as k 7-bit groups, most significant first.
void PackGroups(std::uint32_t value, int k, std::uint8_t* out);
// Reads k 7-bit groups, most significant first; each byte is taken whole, as it came.
std::uint32_t UnpackGroups(const std::uint8_t* in, int k);
// Sum of the n bytes modulo 128.
std::uint8_t DataChecksum(const std::uint8_t* bytes, std::int32_t n);
// Block size announced in the upload start for header byte 0.
std::int32_t BlockSizeFor(std::uint8_t headerByte0);

}  // namespace flashdesk
