#include "cli/SpeakerListing.h"

#include <cstdio>

#include "protocol/Models.h"
#include "protocol/Protocol.h"

namespace flashdesk::cli {

namespace {

std::string VersionOfKind(const SpeakerRecord& record, std::uint8_t kind) {
  for (const SoftwareEntry& entry : record.entries) {
    if (entry.kind == kind)
      return FormatVersion(entry.major * 100 + entry.minor);
  }
  return "missing";
}

}  // namespace

std::string DescribeSpeaker(const SpeakerRecord& record) {
  char head[64];
  std::snprintf(head, sizeof head, "%10u  %-10s", static_cast<unsigned>(record.SerialNumber()),
                ModelName(record.type).c_str());
  return std::string(head) + "  boot " + VersionOfKind(record, kKindBoot) + "  application " +
         VersionOfKind(record, record.type) + "  test " + VersionOfKind(record, kKindTest) +
         "  fpga " + VersionOfKind(record, kKindFpga);
}

}  // namespace flashdesk::cli
