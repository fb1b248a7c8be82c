#include "platform/Sha256.h"

#include <nettle/sha2.h>

namespace flashdesk::platform {

struct Sha256::State {
  sha256_ctx context;
};

Sha256::Sha256() : state(std::make_unique<State>()) {
  sha256_init(&state->context);
}

Sha256::~Sha256() = default;

void Sha256::Add(const std::uint8_t* bytes, std::size_t count) {
  sha256_update(&state->context, count, bytes);
}

std::string Sha256::HexDigest() {
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  // Nettle starts the context over itself.
  sha256_digest(&state->context, sizeof digest, digest);
  return HexOf(digest, sizeof digest);
}

}  // namespace flashdesk::platform
