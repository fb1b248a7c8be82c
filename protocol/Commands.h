#pragma once

#include <cstdint>
#include <vector>

#include "protocol/SpeakerRecord.h"
#include "transport/SerialPort.h"

namespace flashdesk {

// Frames the command whose payload stands in frame from offset 3, terminated by one 0xF7,
// and writes it to port.
void SendCommand(SerialPort& port, std::uint8_t command, std::uint8_t destination,
                 std::uint8_t* frame);

// Payload writers for the four commands: each fills frame from offset 3 and puts the one
// 0xF7 terminator after the payload, ready for SendCommand.
void WriteIdentifyRequest(std::uint8_t* frame);
// The mode byte travels as mode AND 0x7F.
void WriteModeCommand(std::uint8_t* frame, std::uint8_t mode);
// header holds image header bytes 0 to 2, copied unchanged.
void WriteUploadStart(std::uint8_t* frame, const std::uint8_t* header, std::int32_t blockSize,
                      std::int32_t payloadLength);
// n file bytes (1 to kFileBytesPerBlock) as nibbles with their DataChecksum; frame holds at
// least 2n + 9 bytes.
void WriteDataBlock(std::uint8_t* frame, std::uint8_t sequence, const std::uint8_t* bytes,
                    std::int32_t n);

// A whole sealed frame: F0, destination, code, payload, checksum, F7. Payload bytes are kept
// to 7 bits so the frame is always well formed.
std::vector<std::uint8_t> SealedFrame(std::uint8_t destination, std::uint8_t code,
                                      const std::vector<std::uint8_t>& payload);

// The replies as a speaker sends them.
std::vector<std::uint8_t> IdentificationReplyFrame(std::uint8_t address, std::uint32_t serial,
                                                   std::uint8_t type, std::uint8_t reserved,
                                                   const std::vector<SoftwareEntry>& entries);
std::vector<std::uint8_t> StatusReplyFrame(std::uint8_t address, std::uint32_t serial,
                                           std::uint8_t code);

}  // namespace flashdesk
