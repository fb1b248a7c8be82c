#include "transport/CircularBuffer.h"

namespace flashdesk {
namespace {

std::int32_t Advance(std::int32_t position) {
  return position + 1 == CircularBuffer::kCapacity ? 0 : position + 1;
}

}  // namespace

std::int32_t CircularBuffer::Write(const std::uint8_t* bytes, std::int32_t n) {
  if (IsFull() || n < 0) {
    return -1;
  }
  for (std::int32_t i = 0; i < n; ++i) {
    storage[head] = bytes[i];
    ++count;
    head = Advance(head);
    if (head == tail) {
      return -1;  // just became full: the rest of the input is dropped
    }
  }
  return n;
}

std::int32_t CircularBuffer::Read(std::uint8_t* destination, std::int32_t n) {
  if (IsEmpty()) {
    return -1;
  }
  std::int32_t copied = 0;
  while (copied < n && !IsEmpty()) {
    destination[copied++] = storage[tail];
    --count;
    tail = Advance(tail);
  }
  return copied;
}

void CircularBuffer::Reset() {
  head = 0;
  tail = 0;
  count = 0;
}

}  // namespace flashdesk
