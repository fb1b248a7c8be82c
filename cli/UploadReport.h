#pragma once

#include <ostream>
#include <string>

#include "application/Results.h"

// The text report of an upload as the terminal shows it: the window's status line and report,
// then what the window does not say.
namespace flashdesk::cli {

// Status line and report, the identified speakers that never answered, those that refused the
// image as another model's, each attempt's transfer errors and, when the same speakers ended
// every attempt, who they are and what to do.
void PrintUploadReport(const application::UploadResult& result, std::ostream& output);

// One line per speaker the file is for: "    - Serial: 1001  TARN-S1  verified".
void PrintVerification(const records::UploadResult& facts, std::ostream& output);

}  // namespace flashdesk::cli
