#pragma once

#include <string>
#include <vector>

#include "records/Results.h"

namespace flashdesk::application {

// Why an upload of the file at path should not start on the speakers a search found, or empty:
// the firmware list cannot read its name, so nobody can tell whom it is for, or it is an
// application for a model that is not on the bus. Checked before anything is sent; a user who
// knows better overrides it.
std::string PreflightRefusal(const std::string& path,
                             const std::vector<records::SpeakerFacts>& speakers);

// Whether the file at path is meant for a speaker of this type: an application for its model,
// or boot loader or test software, which fit every model. False for a name the list cannot read.
bool ImageIsFor(const std::string& path, std::int32_t type);

}  // namespace flashdesk::application
