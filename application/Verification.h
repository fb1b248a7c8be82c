#pragma once

#include <string>
#include <vector>

#include "records/Results.h"

namespace flashdesk::application {

// Gives every speaker of outcomes that the file at path is for its version check: the version
// of the file's kind (application, boot loader or test software) that the identification
// after the upload reports, against the version in the file's name. A speaker missing from
// after cannot be verified.
void VerifyVersions(const std::string& path, const std::vector<records::SpeakerFacts>& after,
                    std::vector<records::SpeakerOutcome>& outcomes);

// True when the file at path is for at least one speaker of outcomes and every one of those
// passed and was verified.
bool EveryTargetVerified(const std::string& path,
                         const std::vector<records::SpeakerOutcome>& outcomes);

// "verified", "version differs (has 1.00, file says 2.34)" or "cannot verify".
std::string VerificationText(const records::VersionCheck& check);

}  // namespace flashdesk::application
