// The check after an upload: which speakers a file is for and what their versions say.
#include <gtest/gtest.h>

#include "application/Verification.h"

namespace flashdesk {
namespace {

using records::SpeakerFacts;
using records::SpeakerOutcome;
using records::Verification;

SpeakerFacts Speaker(std::uint32_t serial, std::int32_t type, records::SoftwareVersions versions) {
  return {serial, type, "", versions};
}

TEST(Verification, EachKindIsComparedWithTheVersionItsNameGives) {
  const SpeakerFacts before = Speaker(1, 4, {105, 100, 200, 100});
  const struct {
    const char* file;
    records::SoftwareVersions after;  // of the same speaker, identified again
    std::optional<Verification> result;
  } cases[] = {
      {"TarnS1V2.34.syx", {105, 234, 200, 100}, Verification::kVerified},
      {"TarnS1V2.34.syx", {105, 100, 200, 100}, Verification::kVersionDiffers},
      {"bootKelV1.07.syx", {107, 100, 200, 100}, Verification::kVerified},
      {"bootKelV1.07.syx", {105, 107, 107, 107}, Verification::kVersionDiffers},
      {"TestKelV2.00.syx", {105, 100, std::nullopt, 100}, Verification::kCannotVerify},
      // Read by the list as some version, but not one a person wrote.
      {"TarnS1Vnew.syx", {105, 100, 200, 100}, Verification::kCannotVerify},
      {"TarnS1V2.3.syx", {105, 203, 200, 100}, Verification::kCannotVerify},
      // Another model's application, or a name nobody reads: nothing to check.
      {"TarnS2V2.34.syx", {105, 234, 200, 100}, std::nullopt},
      {"firmware.syx", {105, 234, 200, 100}, std::nullopt},
  };
  for (const auto& example : cases) {
    std::vector<SpeakerOutcome> outcomes = {{before, records::Outcome::kPassed, {}, {}}};
    application::VerifyVersions(example.file, {Speaker(1, 4, example.after)}, outcomes);
    ASSERT_EQ(outcomes[0].check.has_value(), example.result.has_value()) << example.file;
    if (example.result) {
      EXPECT_EQ(outcomes[0].check->result, *example.result) << example.file;
    }
    EXPECT_EQ(application::EveryTargetVerified(example.file, outcomes),
              example.result == Verification::kVerified)
        << example.file;
  }
}

TEST(Verification, EveryTargetMustHavePassedAndBeenSeenAgain) {
  const SpeakerFacts first = Speaker(1, 4, {105, 100, 200, 100});
  const SpeakerFacts second = Speaker(2, 4, {105, 100, 200, 100});
  const SpeakerFacts other = Speaker(3, 3, {105, 100, 200, 100});
  const std::string file = "TarnS1V2.34.syx";
  std::vector<SpeakerOutcome> outcomes = {{first, records::Outcome::kPassed, {}, {}},
                                          {second, records::Outcome::kPassed, {}, {}},
                                          {other, records::Outcome::kWrongType, {}, {}}};
  // The second speaker was not found again: it cannot be verified, and so the job did not.
  application::VerifyVersions(file, {Speaker(1, 4, {105, 234, 200, 100})}, outcomes);
  EXPECT_EQ(outcomes[1].check->result, Verification::kCannotVerify);
  EXPECT_EQ(application::VerificationText(*outcomes[1].check), "cannot verify");
  EXPECT_FALSE(outcomes[2].check) << "another model's speaker is not the file's";
  EXPECT_FALSE(application::EveryTargetVerified(file, outcomes));

  application::VerifyVersions(
      file, {Speaker(1, 4, {105, 234, 200, 100}), Speaker(2, 4, {105, 234, 200, 100})}, outcomes);
  EXPECT_TRUE(application::EveryTargetVerified(file, outcomes));
  outcomes[1].outcome = records::Outcome::kFailed;
  EXPECT_FALSE(application::EveryTargetVerified(file, outcomes)) << "verified, yet failed";
  EXPECT_FALSE(application::EveryTargetVerified(file, {{other, records::Outcome::kPassed, {}, {}}}))
      << "nobody the file is for";
}

}  // namespace
}  // namespace flashdesk
