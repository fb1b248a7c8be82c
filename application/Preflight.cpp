#include "application/Preflight.h"

#include <map>

#include "protocol/Models.h"
#include "protocol/Protocol.h"
#include "records/ImageInfo.h"

namespace flashdesk::application {
namespace {

// "2 TARN-S1, 1 TARN-S2", in the order of the models' codes.
std::string CountByModel(const std::vector<records::SpeakerFacts>& speakers) {
  std::map<std::int32_t, int> counts;
  for (const records::SpeakerFacts& speaker : speakers)
    ++counts[speaker.type.value_or(-1)];
  std::string text;
  for (const auto& [type, count] : counts)
    text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + ModelName(type);
  return text;
}

}  // namespace

bool ImageIsFor(const std::string& path, std::int32_t type) {
  const std::optional<records::CatalogReading> reading =
      records::ReadCatalogName(records::FileNameOf(path));
  return reading && (!reading->modelType || *reading->modelType == type);
}

std::string PreflightRefusal(const std::string& path,
                             const std::vector<records::SpeakerFacts>& speakers) {
  const std::string name = records::FileNameOf(path);
  const std::optional<records::CatalogReading> reading = records::ReadCatalogName(name);
  if (!reading) {
    return "'" + name +
           "' is not a name the firmware list reads (such as TarnS1V2.34.syx), so nobody can "
           "tell which speakers it is for; nothing was sent. Rename it, or use --force to send "
           "it anyway.";
  }
  if (speakers.empty() || !reading->modelType)
    return "";
  for (const records::SpeakerFacts& speaker : speakers) {
    if (speaker.type == reading->modelType)
      return "";
  }
  const std::string model = ModelName(*reading->modelType);
  return "'" + name + "' is for " + model + " and no " + model + " is on the bus (found " +
         CountByModel(speakers) + "); nothing was sent. Use --force to send it anyway.";
}

}  // namespace flashdesk::application
