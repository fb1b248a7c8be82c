#include "application/Verification.h"

#include <algorithm>
#include <cctype>

#include "application/Preflight.h"
#include "protocol/Models.h"
#include "protocol/Protocol.h"
#include "records/ImageInfo.h"

namespace flashdesk::application {
namespace {

bool IsDigit(char character) {
  return std::isdigit(static_cast<unsigned char>(character)) != 0;
}

// The list reads any name after its last V as a version; only "D.DD" really is one.
std::optional<std::int32_t> VersionInName(const std::string& name,
                                          const records::CatalogReading& reading) {
  const std::size_t v = name.rfind('V');
  if (v == std::string::npos || v + 4 >= name.size())
    return std::nullopt;
  const std::string digits = name.substr(v + 1, 4);
  if (!IsDigit(digits[0]) || digits[1] != '.' || !IsDigit(digits[2]) || !IsDigit(digits[3]))
    return std::nullopt;
  return reading.version;
}

std::optional<std::int32_t> InstalledVersion(const records::SpeakerFacts& speaker,
                                             std::int32_t kind) {
  switch (kind) {
    case kKindApplication:
      return speaker.versions.application;
    case kKindBoot:
      return speaker.versions.bootLoader;
    case kKindTest:
      return speaker.versions.test;
    default:
      return std::nullopt;
  }
}

}  // namespace

void VerifyVersions(const std::string& path, const std::vector<records::SpeakerFacts>& after,
                    std::vector<records::SpeakerOutcome>& outcomes) {
  const std::string name = records::FileNameOf(path);
  const std::optional<records::CatalogReading> reading = records::ReadCatalogName(name);
  for (records::SpeakerOutcome& outcome : outcomes) {
    const records::SpeakerFacts& speaker = outcome.speaker;
    if (!reading || !speaker.type || !ImageIsFor(path, *speaker.type))
      continue;
    records::VersionCheck check;
    check.fileSays = VersionInName(name, *reading);
    const auto now = std::find_if(after.begin(), after.end(), [&](const records::SpeakerFacts& f) {
      return f.serial == speaker.serial;
    });
    if (now != after.end())
      check.has = InstalledVersion(*now, reading->kind);
    if (check.has && check.fileSays)
      check.result = *check.has == *check.fileSays ? records::Verification::kVerified
                                                   : records::Verification::kVersionDiffers;
    outcome.check = check;
  }
}

bool EveryTargetVerified(const std::string& path,
                         const std::vector<records::SpeakerOutcome>& outcomes) {
  bool anyTarget = false;
  for (const records::SpeakerOutcome& outcome : outcomes) {
    if (!outcome.speaker.type || !ImageIsFor(path, *outcome.speaker.type))
      continue;
    anyTarget = true;
    if (outcome.outcome != records::Outcome::kPassed || !outcome.check ||
        outcome.check->result != records::Verification::kVerified)
      return false;
  }
  return anyTarget;
}

std::string VerificationText(const records::VersionCheck& check) {
  switch (check.result) {
    case records::Verification::kVerified:
      return "verified";
    case records::Verification::kVersionDiffers:
      return "version differs (has " + FormatVersion(*check.has) + ", file says " +
             FormatVersion(*check.fileSays) + ")";
    case records::Verification::kCannotVerify:
      break;
  }
  return "cannot verify";
}

}  // namespace flashdesk::application
