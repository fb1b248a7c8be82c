#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace flashdesk {

// A model of the TARN family: the type code its speakers report, the name it is shown by and
// the start of its application files' names, which the version follows.
struct SpeakerModel {
  std::uint8_t type;
  const char* name;
  const char* filePrefix;
};

// The eight models FlashDesk offers, in the order of their codes.
constexpr std::array<SpeakerModel, 8> kSpeakerModels = {{
    {3, "TARN-S2", "TarnS2V"},
    {4, "TARN-S1", "TarnS1V"},
    {5, "TARN-LOW-1", "Low1V"},
    {6, "TARN-LOW-2", "Low2V"},
    {8, "TARN-S3", "TarnS3V"},
    {10, "TARN-S4", "TarnS4V"},
    {12, "TARN-LOW-3", "Low3V"},
    {13, "TARN-LOW-4", "Low4V"},
}};

// Boot loader and test software fit every model.
constexpr const char* kBootFilePrefix = "bootKelV";
constexpr const char* kTestFilePrefix = "TestKelV";

// The model of a type code; null for a code no offered model has.
const SpeakerModel* FindModel(std::int32_t type);
// The model's name, or "type N" for a code no model has.
std::string ModelName(std::int32_t type);

// A version of hundredths as the window prints it, "%1.2f" of version / 100 (105 gives 1.05,
// -16 gives -0.16), whatever the process locale.
std::string FormatVersion(std::int32_t hundredths);

}  // namespace flashdesk
