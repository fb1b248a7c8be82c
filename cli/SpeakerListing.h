#pragma once

#include <cstdint>
#include <string>

#include "protocol/SpeakerRecord.h"

namespace flashdesk::cli {

// The display name of a model code, "type N" for a code no model has.
std::string ModelName(std::uint8_t type);

// A version of hundredths as the window prints it ("%1.2f": 105 gives 1.05).
std::string FormatVersion(std::int32_t hundredths);

// One line of the scan listing: serial, model, and the versions of boot loader, application,
// test and FPGA software ("missing" for one the speaker did not report).
std::string DescribeSpeaker(const SpeakerRecord& record);

}  // namespace flashdesk::cli
