#pragma once

#include <cstdint>

namespace flashdesk {

// A fixed ring of 4096 bytes, all of them usable. Allocation-free; one thread at a time.
class CircularBuffer {
 public:
  static constexpr std::int32_t kCapacity = 4096;

  CircularBuffer() = default;
  CircularBuffer(const CircularBuffer&) = delete;
  CircularBuffer& operator=(const CircularBuffer&) = delete;

  // Stores n bytes and returns n; -1 when the ring was full or became full during the write
  // (the bytes that did not fit are dropped).
  std::int32_t Write(const std::uint8_t* bytes, std::int32_t n);
  // Copies up to n bytes out; -1 when the ring is empty.
  std::int32_t Read(std::uint8_t* destination, std::int32_t n);
  bool IsEmpty() const { return head == tail && count == 0; }
  bool IsFull() const { return head == tail && count > 0; }
  std::int32_t Count() const { return count; }
  void Reset();

 private:
  std::uint8_t storage[kCapacity] = {};
  std::int32_t count = 0;
  std::int32_t head = 0;  // index of the next byte written
  std::int32_t tail = 0;  // index of the next byte read
};

}  // namespace flashdesk
