#include "protocol/Commands.h"

#include "protocol/Frame.h"
#include "protocol/Protocol.h"

namespace flashdesk {

namespace {

constexpr int kPayloadOffset = 3;

}  // namespace

void SendCommand(SerialPort& port, std::uint8_t command, std::uint8_t destination,
                 std::uint8_t* frame) {
  port.Write(frame, FrameCommand(command, destination, frame));
}

void WriteIdentifyRequest(std::uint8_t* frame) {
  frame[kPayloadOffset] = kFrameEnd;
}

void WriteModeCommand(std::uint8_t* frame, std::uint8_t mode) {
  frame[kPayloadOffset] = mode & 0x7F;
  frame[kPayloadOffset + 1] = kFrameEnd;
}

void WriteUploadStart(std::uint8_t* frame, const std::uint8_t* header, std::int32_t blockSize,
                      std::int32_t payloadLength) {
  std::uint8_t* out = frame + kPayloadOffset;
  out[0] = header[0];
  out[1] = header[1];
  out[2] = header[2];
  PackGroups(static_cast<std::uint32_t>(blockSize), 3, out + 3);
  PackGroups(static_cast<std::uint32_t>(payloadLength), 3, out + 6);
  out[9] = kFrameEnd;
}

void WriteDataBlock(std::uint8_t* frame, std::uint8_t sequence, const std::uint8_t* bytes,
                    std::int32_t n) {
  std::uint8_t* out = frame + kPayloadOffset;
  out[0] = sequence & 0x7F;
  PackGroups(static_cast<std::uint32_t>(2 * n + 1), 2, out + 1);
  std::uint8_t* nibbles = out + 3;
  for (std::int32_t i = 0; i < n; ++i) {
    nibbles[2 * i] = (bytes[i] >> 4) & 0x0F;
    nibbles[2 * i + 1] = bytes[i] & 0x0F;
  }
  nibbles[2 * n] = DataChecksum(bytes, n);
  nibbles[2 * n + 1] = kFrameEnd;
}

std::vector<std::uint8_t> SealedFrame(std::uint8_t destination, std::uint8_t code,
                                      const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> frame(kPayloadOffset);
  for (std::uint8_t byte : payload) {
    frame.push_back(byte & 0x7F);
  }
  frame.push_back(kFrameEnd);
  frame.push_back(0);  // room for the end byte that sealing moves up
  FrameCommand(code & 0x7F, destination & 0x7F, frame.data());
  return frame;
}

std::vector<std::uint8_t> IdentificationReplyFrame(std::uint8_t address, std::uint32_t serial,
                                                   std::uint8_t type, std::uint8_t reserved,
                                                   const std::vector<SoftwareEntry>& entries) {
  std::vector<std::uint8_t> payload(4);
  PackGroups(serial, 4, payload.data());
  payload.push_back(type);
  payload.push_back(reserved);
  payload.push_back(static_cast<std::uint8_t>(entries.size()));
  for (const SoftwareEntry& entry : entries) {
    payload.push_back(entry.kind);
    payload.push_back(entry.major);
    payload.push_back(entry.minor);
  }
  return SealedFrame(address, kIdentifyReply, payload);
}

std::vector<std::uint8_t> StatusReplyFrame(std::uint8_t address, std::uint32_t serial,
                                           std::uint8_t code) {
  std::vector<std::uint8_t> payload(4);
  PackGroups(serial, 4, payload.data());
  payload.push_back(code);
  return SealedFrame(address, kStatusReply, payload);
}

}  // namespace flashdesk
