#pragma once

#include <cstdint>

namespace flashdesk {

// Walks frame from offset 0 to its first 0xF7, writes the checksum over that 0xF7 and a new
// 0xF7 after it; returns the total frame length.
std::int32_t Seal(std::uint8_t* frame);

// Writes 0xF0, destination and command at offsets 0 to 2 of a frame whose payload stands from
// offset 3 with one 0xF7 after it, and seals it; returns the total frame length.
std::int32_t FrameCommand(std::uint8_t command, std::uint8_t destination, std::uint8_t* frame);

// The receiver's checksum test of a frame body (the bytes between 0xF0 and 0xF7).
bool BodyChecksumHolds(const std::uint8_t* body, std::int32_t length);

}  // namespace flashdesk
