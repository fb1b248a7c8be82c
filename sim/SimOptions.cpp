#include "sim/SimOptions.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <sstream>

#include "protocol/Models.h"
#include "protocol/Protocol.h"

namespace flashdesk::sim {

namespace {

constexpr std::uint32_t kLargestSerial = (1u << 28) - 1;

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator))
    parts.push_back(part);
  if (!text.empty() && text.back() == separator)
    parts.emplace_back();
  return parts;
}

// Decimal digits only, within [0, largest].
bool ParseNumber(const std::string& text, std::uint32_t largest, std::uint32_t& value) {
  if (text.empty() || text.size() > 10)
    return false;
  std::uint64_t number = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return false;
    number = number * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (number > largest)
    return false;
  value = static_cast<std::uint32_t>(number);
  return true;
}

bool ParseByte(const std::string& text, std::uint8_t& value) {
  std::uint32_t number = 0;
  if (!ParseNumber(text, 0x7F, number))
    return false;
  value = static_cast<std::uint8_t>(number);
  return true;
}

// SERIAL:TYPE[:FLAG...]
bool ParseSpeaker(const std::string& text, SpeakerConfig& speaker, std::string& error) {
  const std::vector<std::string> parts = Split(text, ':');
  if (parts.size() < 2 || !ParseNumber(parts[0], kLargestSerial, speaker.serial) ||
      !ParseByte(parts[1], speaker.type)) {
    error = "--speaker wants SERIAL:TYPE[:FLAG...] with a serial up to " +
            std::to_string(kLargestSerial) + " and a type up to 127, not '" + text + "'";
    return false;
  }
  for (std::size_t i = 2; i < parts.size(); ++i) {
    const std::string& flag = parts[i];
    if (flag == "app") {
      speaker.mode = SpeakerMode::kApplication;
    } else if (flag == "boot") {
      speaker.mode = SpeakerMode::kBoot;
    } else if (flag == "silent") {
      speaker.silentInApplication = true;
    } else if (flag == "bootsignal") {
      speaker.bootSignalPeriodMs = kDefaultBootSignalPeriodMs;
    } else if (flag == "dead") {
      speaker.neverAnswers = true;
    } else if (flag == "split") {
      speaker.splitReplies = true;
    } else if (flag == "twice") {
      speaker.answersTwice = true;
    } else if (flag == "chatter") {
      speaker.chatterPeriodMs = kChatterPeriodMs;
    } else if (flag == "newserials") {
      speaker.chatterPeriodMs = kChatterPeriodMs;
      speaker.chatterNewSerials = true;
    } else if (flag == "deaf") {
      speaker.ignoresUploads = true;
    } else {
      error = "unknown speaker flag '" + flag + "' in '" + text + "'";
      return false;
    }
  }
  return true;
}

// KIND:MAJOR.MINOR, the minor in two digits.
bool ParseEntry(const std::string& text, SoftwareEntry& entry) {
  const std::vector<std::string> parts = Split(text, ':');
  if (parts.size() != 2)
    return false;
  const std::vector<std::string> version = Split(parts[1], '.');
  std::uint32_t minor = 0;
  if (version.size() != 2 || version[1].size() != 2 || !ParseByte(parts[0], entry.kind) ||
      !ParseByte(version[0], entry.major) || !ParseNumber(version[1], 99, minor)) {
    return false;
  }
  entry.minor = static_cast<std::uint8_t>(minor);
  return true;
}

// The entries of a speaker that was given none.
std::vector<SoftwareEntry> StandardSoftware(std::uint8_t type) {
  return {{kKindBoot, 1, 0}, {type, 1, 0}, {kKindFpga, 1, 0}};
}

}  // namespace

std::vector<SpeakerConfig> DemoSpeakers() {
  // All keep quiet in Application mode, so the scan must switch them to Boot mode; the first
  // one then sends the boot signal, so the mode command at exit goes to destination 00.
  struct Demo {
    std::uint32_t serial;
    std::uint8_t type;
  };
  // The last one is a TARN-S2, the model the window selects first, so its files show at once.
  const Demo demo[] = {{1234567, 4}, {1234568, 4}, {2345678, 5}, {3456789, 8}, {4567890, 3}};
  std::vector<SpeakerConfig> speakers;
  for (const Demo& entry : demo) {
    SpeakerConfig speaker;
    speaker.serial = entry.serial;
    speaker.type = entry.type;
    speaker.mode = SpeakerMode::kApplication;
    speaker.silentInApplication = true;
    speaker.software = StandardSoftware(entry.type);
    speakers.push_back(speaker);
  }
  speakers[0].bootSignalPeriodMs = kDefaultBootSignalPeriodMs;
  speakers[0].software.push_back({kKindTest, 1, 0});
  speakers[2].software[0].minor = 5;  // boot loader 1.05
  return speakers;
}

namespace {

// Options that change the speaker given last: what their value looks like and how it applies.
struct SpeakerOption {
  const char* name;
  const char* wants;
  bool (*apply)(const std::string& text, SpeakerConfig& speaker);
};

const SpeakerOption kSpeakerOptions[] = {
    {"--entry", "KIND:MAJOR.MINOR such as 1:1.05",
     [](const std::string& text, SpeakerConfig& speaker) {
       SoftwareEntry entry;
       if (!ParseEntry(text, entry))
         return false;
       speaker.software.push_back(entry);
       return true;
     }},
    {"--boot-signal-period", "milliseconds from 1 to 60000",
     [](const std::string& text, SpeakerConfig& speaker) {
       std::uint32_t period = 0;
       if (!ParseNumber(text, 60000, period) || period == 0)
         return false;
       speaker.bootSignalPeriodMs = static_cast<std::int32_t>(period);
       return true;
     }},
    {"--checksum-error", "ATTEMPT:BLOCK such as 1:0",
     [](const std::string& text, SpeakerConfig& speaker) {
       const std::vector<std::string> parts = Split(text, ':');
       std::uint32_t attempt = 0;
       std::uint32_t block = 0;
       if (parts.size() != 2 || !ParseNumber(parts[0], 1000, attempt) || attempt == 0 ||
           !ParseNumber(parts[1], 1000000, block)) {
         return false;
       }
       speaker.injectedErrors.push_back({static_cast<std::int32_t>(attempt),
                                         static_cast<std::int32_t>(block), kReplyChecksumError});
       return true;
     }},
    {"--vanish-after", "a number of data blocks from 1",
     [](const std::string& text, SpeakerConfig& speaker) {
       std::uint32_t blocks = 0;
       if (!ParseNumber(text, 1000000, blocks) || blocks == 0)
         return false;
       speaker.vanishAfterBlocks = static_cast<std::int32_t>(blocks);
       return true;
     }},
};

// How far one option took the parse: on to the next, to a command that ends it, or to a mistake.
enum class Step { kNext, kStop, kMistake };

bool ParseMakeFirmware(const std::vector<std::string>& arguments, SimOptions& options,
                       std::string& error) {
  if (arguments.size() != 2 || arguments[1].empty() || arguments[1][0] == '-') {
    error = "make-firmware wants exactly one folder";
    return false;
  }
  options.command = SimOptions::Command::kMakeFirmware;
  options.firmwareFolder = arguments[1];
  return true;
}

const SpeakerOption* FindSpeakerOption(const std::string& option) {
  const auto known =
      std::find_if(std::begin(kSpeakerOptions), std::end(kSpeakerOptions),
                   [&option](const SpeakerOption& entry) { return option == entry.name; });
  return known == std::end(kSpeakerOptions) ? nullptr : known;
}

bool TakesValue(const std::string& option) {
  return option == "--link" || option == "--speaker" || option == "--save-uploads" ||
         FindSpeakerOption(option) != nullptr;
}

Step ApplyFlag(const std::string& option, SimOptions& options, std::string& error) {
  if (option == "--help" || option == "-h") {
    options.command = SimOptions::Command::kHelp;
    return Step::kStop;
  }
  if (option == "--version") {
    options.command = SimOptions::Command::kVersion;
    return Step::kStop;
  }
  if (option == "--verbose" || option == "-v") {
    options.verbose = true;
  } else if (option == "--noise") {
    options.noiseAfterUploadStart = true;
  } else if (option == "--demo") {
    const std::vector<SpeakerConfig> demo = DemoSpeakers();
    options.speakers.insert(options.speakers.end(), demo.begin(), demo.end());
  } else {
    error = "unknown option '" + option + "'";
    return Step::kMistake;
  }
  return Step::kNext;
}

Step ApplyValue(const std::string& option, const std::string& text, SimOptions& options,
                std::string& error) {
  if (option == "--link") {
    options.linkPath = text;
  } else if (option == "--save-uploads") {
    options.uploadsFolder = text;
  } else if (option == "--speaker") {
    SpeakerConfig speaker;
    if (!ParseSpeaker(text, speaker, error))
      return Step::kMistake;
    options.speakers.push_back(speaker);
  } else if (options.speakers.empty()) {
    error = option + " belongs to a --speaker given before it";
    return Step::kMistake;
  } else if (const SpeakerOption* known = FindSpeakerOption(option);
             !known->apply(text, options.speakers.back())) {
    error = option + " wants " + known->wants + ", not '" + text + "'";
    return Step::kMistake;
  }
  return Step::kNext;
}

// The defaults of what was not given, and what a bus cannot do without.
bool CompleteBus(SimOptions& options, std::string& error) {
  for (SpeakerConfig& speaker : options.speakers) {
    if (speaker.software.empty())
      speaker.software = StandardSoftware(speaker.type);
  }
  if (options.linkPath.empty()) {
    error = "--link PATH is required: where to link the simulated port";
    return false;
  }
  if (options.speakers.empty()) {
    error = "no speakers: give --demo or at least one --speaker";
    return false;
  }
  return true;
}

}  // namespace

bool ParseSimOptions(const std::vector<std::string>& arguments, SimOptions& options,
                     std::string& error) {
  options = SimOptions{};
  if (!arguments.empty() && arguments[0] == "make-firmware")
    return ParseMakeFirmware(arguments, options, error);
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    const bool takesValue = TakesValue(option);
    if (takesValue && i + 1 == arguments.size()) {
      error = option + " needs a value";
      return false;
    }
    const Step step = takesValue ? ApplyValue(option, arguments[++i], options, error)
                                 : ApplyFlag(option, options, error);
    if (step != Step::kNext)
      return step == Step::kStop;
  }
  return CompleteBus(options, error);
}

namespace {

// The models by code, four to a line, indented under the option they belong to.
std::string ModelList() {
  std::string list;
  for (std::size_t i = 0; i < kSpeakerModels.size(); ++i) {
    char column[32];
    std::snprintf(column, sizeof column, "%2u %-12s", unsigned{kSpeakerModels[i].type},
                  kSpeakerModels[i].name);
    list += (i % 4 == 0 ? "                         " : "") + std::string(column);
    if (i % 4 == 3 || i + 1 == kSpeakerModels.size()) {
      while (list.back() == ' ')
        list.pop_back();
      list += '\n';
    }
  }
  return list;
}

}  // namespace

std::string SimUsage() {
  return R"(Usage: flashdesk-sim --link PATH (--demo | --speaker SERIAL:TYPE[:FLAG...] ...) [options]
  or:  flashdesk-sim make-firmware FOLDER
  or:  flashdesk-sim --help | --version

Simulates a bus of TARN speakers on a pseudo-terminal linked at PATH. Point FlashDesk at it
with FLASHDESK_PORT_TEMPLATE: with --link /tmp/fd/COM3, FLASHDESK_PORT_TEMPLATE=/tmp/fd/COM%i
finds the speakers on port 3. Stops on Ctrl-C (SIGINT) or SIGTERM and removes the link.

Options:
  --link PATH          where to link the simulated serial port (required). An old link at
                       PATH is replaced; any other file there is left alone and is an error.
  --demo               five speakers: two TARN-S1 (type 4), one TARN-LOW-1 (type 5), one
                       TARN-S3 (type 8) and one TARN-S2 (type 3). All start in Application mode, where they do not
                       answer, so FlashDesk has to switch them to Boot mode; the first one then
                       sends the boot signal every 500 ms. May be combined with --speaker.
  --speaker SERIAL:TYPE[:FLAG...]
                       adds a speaker: SERIAL a number up to 268435455, TYPE the model
                       code, any code up to 127; the models are
)" + ModelList() +
         R"(                       FLAGs:
                         app         starts in Application mode
                         boot        starts in Boot mode (the default)
                         silent      does not answer in Application mode until a mode
                                     command puts it in Boot mode
                         bootsignal  sends the boot signal FE 00 every 500 ms while in Boot
                                     mode and not receiving an upload
                         dead        never answers anything
                         split       sends every reply in two parts 25 ms apart
                         twice       sends every identification reply twice, 25 ms apart
                         chatter     after its first identification reply, repeats it
                                     every 10 ms without end
                         newserials  as chatter, with the next serial in each repeat
                         deaf        answers identification, never an upload
  --entry KIND:MAJOR.MINOR
                       a software entry of the last --speaker, for example 1:1.05; KIND is
                       0 FPGA, 1 boot loader, 2 test software, or the speaker's TYPE for its
                       application. Repeat for more entries. A speaker given no entries
                       reports boot loader 1.00, its application 1.00 and FPGA 1.00.
  --boot-signal-period MS
                       the last --speaker sends the boot signal every MS milliseconds while in
                       Boot mode (1 to 60000).
  --checksum-error ATTEMPT:BLOCK
                       the last --speaker answers CHECKSUM ERROR to data block BLOCK (0 is the
                       first) of its ATTEMPT-th upload (1 is the first). Repeatable.
  --vanish-after BLOCKS
                       after the last --speaker has received BLOCKS data blocks of an upload,
                       the port goes dead as if the adapter were unplugged.
  --noise              three bytes that form no frame arrive 200 ms after every upload start.
  --save-uploads FOLDER
                       on stopping, writes the image each speaker received last, as far as
                       it got, to FOLDER/SERIAL.bin.
  --verbose, -v        prints every frame heard and every reply sent, with times.
  --help, -h           prints this text.
  --version            prints the version.

  make-firmware FOLDER
                       writes our sample images into FOLDER (created if missing): two
                       application versions for each of the eight models (TarnS2V1.00.syx,
                       TarnS1V1.23.syx, Low1V1.00.syx, ...), the boot loader bootKelV1.05.syx
                       and the test software TestKelV1.00.syx. Header byte 0 is the flash area
                       (0 boot loader, 1 test, 2 application), byte 1 the model type (0 for
                       every model), byte 2 the kind (1 boot, 2 test, 3 application); the first
                       two payload bytes are the version the speaker reports after the upload.

Replies: the speaker at position P (0 for the first) answers 15 + 30 x P ms after a request.
Status codes: READY after an upload start, DONE after the last byte, TYPE ERROR for an image
of another model, SECTOR ERROR for a block size that does not belong to header byte 0,
CHECKSUM ERROR for a damaged block, COUNT ERROR for a missing block, a wrong length field or
more bytes than announced.
Exit status: 0 after a clean stop, 1 when the port cannot be set up, 2 for usage errors.
)";
}

}  // namespace flashdesk::sim
