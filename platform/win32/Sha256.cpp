#include "platform/Sha256.h"

#include <windows.h>

#include <bcrypt.h>

namespace flashdesk::platform {
namespace {

constexpr ULONG kDigestBytes = 32;

}  // namespace

struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  // False once any call failed: no digest beats a wrong one.
  bool working = false;

  void Start() {
    hash = nullptr;
    working = algorithm != nullptr &&
              BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
  }
};

Sha256::Sha256() : state(std::make_unique<State>()) {
  if (!BCRYPT_SUCCESS(
          BCryptOpenAlgorithmProvider(&state->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
    state->algorithm = nullptr;
  state->Start();
}

Sha256::~Sha256() {
  if (state->hash != nullptr)
    BCryptDestroyHash(state->hash);
  if (state->algorithm != nullptr)
    BCryptCloseAlgorithmProvider(state->algorithm, 0);
}

void Sha256::Add(const std::uint8_t* bytes, std::size_t count) {
  // CNG takes a ULONG at a time.
  while (count > 0 && state->working) {
    const ULONG piece = count > 0x40000000 ? 0x40000000 : static_cast<ULONG>(count);
    state->working =
        BCRYPT_SUCCESS(BCryptHashData(state->hash, const_cast<PUCHAR>(bytes), piece, 0));
    bytes += piece;
    count -= piece;
  }
}

std::string Sha256::HexDigest() {
  UCHAR digest[kDigestBytes] = {};
  const bool finished =
      state->working && BCRYPT_SUCCESS(BCryptFinishHash(state->hash, digest, kDigestBytes, 0));
  if (state->hash != nullptr)
    BCryptDestroyHash(state->hash);
  state->Start();
  return finished ? HexOf(digest, kDigestBytes) : std::string();
}

}  // namespace flashdesk::platform
