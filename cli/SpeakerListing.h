#pragma once

#include <cstdint>
#include <string>

#include "protocol/SpeakerRecord.h"

namespace flashdesk::cli {

// One line of the scan listing: serial, model, and the versions of boot loader, application,
// test and FPGA software ("missing" for one the speaker did not report).
std::string DescribeSpeaker(const SpeakerRecord& record);

}  // namespace flashdesk::cli
