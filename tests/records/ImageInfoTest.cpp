// What `info` reports of an image: digests, sizes, the catalog's reading and the pacing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "records/ImageInfo.h"
#include "records/Sha256.h"
#include "sim/FirmwareImage.h"
#include "testing/EngineRig.h"

namespace flashdesk::records {
namespace {

using testing_support::ImageBytes;
using testing_support::TempFolder;

TEST(Sha256, MatchesTheStandardsExamplesFedInAnyPieces) {
  const std::string million(1000000, 'a');
  const std::pair<std::string, const char*> cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
       "lmnopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {million, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [message, digest] : cases) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(message.data());
    for (const std::size_t piece : {std::size_t{1}, std::size_t{63}, std::size_t{1000}}) {
      Sha256 sha;
      for (std::size_t at = 0; at < message.size(); at += piece)
        sha.Add(bytes + at, std::min(piece, message.size() - at));
      EXPECT_EQ(sha.HexDigest(), digest) << message.size() << " bytes in pieces of " << piece;
    }
  }
}

TEST(ImageInfo, DescribesOurSampleImagesAsTheListAndTheEngineSeeThem) {
  TempFolder folder;
  for (const sim::SampleFile& sample : sim::SampleFirmwareFiles()) {
    const ImageInfo info = DescribeImage(folder.Write(sample.name, sample.bytes));
    Sha256 sha;
    sha.Add(sample.bytes.data(), sample.bytes.size());
    EXPECT_EQ(info.sha256, sha.HexDigest()) << sample.name;
    EXPECT_EQ(info.fileBytes, 2055) << sample.name;
    EXPECT_EQ(info.payloadBytes, 2048) << sample.name;
    EXPECT_EQ(info.dataBlocks, 32) << sample.name;
    ASSERT_TRUE(!info.refused && info.sentHeader && info.catalog) << sample.name;
    const auto& header = *info.sentHeader;
    EXPECT_TRUE(std::equal(header.begin(), header.end(), sample.bytes.begin())) << sample.name;
    EXPECT_EQ(info.blockSize, BlockSizeFor(header[0])) << sample.name;
    // Applications name their model in header byte 1, boot loader and test software 0.
    EXPECT_EQ(info.catalog->modelType.value_or(0), header[1]) << sample.name;
    EXPECT_EQ(info.catalog->kind, header[2]) << sample.name;
    EXPECT_EQ(info.catalog->version, sample.bytes[3] * 100 + sample.bytes[4]) << sample.name;
  }
}

TEST(ImageInfo, RefusedFilesAndNamesNoListOffers) {
  TempFolder folder;
  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool readable;
    bool header;
  } cases[] = {
      {"empty.syx", {}, true, false},
      {"two bytes.syx", {0, 4}, true, false},
      {"header only.syx", ImageBytes(2, 0), true, true},
      {"payload beyond 21 bits.syx", ImageBytes(3, 2097152), true, true},
      {"header byte 1 at 0x80.syx", ImageBytes(2, 10, 0x80), true, true},
  };
  for (const auto& c : cases) {
    const ImageInfo info = DescribeImage(folder.Write(c.name, c.bytes));
    EXPECT_TRUE(info.refused) << c.name;
    EXPECT_NE(info.refusal.find(c.name), std::string::npos) << info.refusal;
    EXPECT_EQ(info.readable, c.readable) << c.name;
    EXPECT_EQ(info.fileBytes, static_cast<std::int64_t>(c.bytes.size())) << c.name;
    EXPECT_EQ(info.sentHeader.has_value(), c.header) << c.name;
    EXPECT_FALSE(info.catalog) << c.name;
    EXPECT_EQ(info.attemptMs, 0) << c.name;
  }
  for (const std::string& path : {(folder.path / "missing.syx").string(), folder.path.string()}) {
    const ImageInfo info = DescribeImage(path);
    EXPECT_TRUE(info.refused && !info.readable && info.sha256.empty()) << path;
  }
}

TEST(ImageInfo, TheCatalogReadsNamesAsTheFirmwareListMatchesThem) {
  const struct {
    const char* name;
    std::optional<CatalogReading> expected;
  } cases[] = {
      {"TarnS2V2.10.syx", CatalogReading{kKindApplication, 3, 210}},
      {"LOW4V1.07.syx", CatalogReading{kKindApplication, 13, 107}},
      {"bootKelV1.05.syx", CatalogReading{kKindBoot, std::nullopt, 105}},
      {"TestKelV3.00.syx", CatalogReading{kKindTest, std::nullopt, 300}},
      {"TarnS2V2.10.bin", std::nullopt},
      {"TarnS9V1.00.syx", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto reading = ReadCatalogName(c.name);
    ASSERT_EQ(reading.has_value(), c.expected.has_value()) << c.name;
    if (reading) {
      EXPECT_EQ(reading->kind, c.expected->kind) << c.name;
      EXPECT_EQ(reading->modelType, c.expected->modelType) << c.name;
      EXPECT_EQ(reading->version, c.expected->version) << c.name;
    }
  }
}

TEST(ImageInfo, TheExpectedAttemptTimeIsWhatTheEngineTakesInVirtualTime) {
  TempFolder folder;
  for (const std::int32_t payload : {1, 66 * 40 + 1}) {
    testing_support::VirtualRig rig;
    rig.bus.AddSpeaker(testing_support::VirtualRig::CompleteSpeaker(1001));
    rig.engine.ScanNetwork();
    const std::string path =
        folder.Write("app.syx", sim::BuildFirmwareImage(kKindApplication, 4, 1, 0, payload - 2));
    const std::int64_t startMs = rig.line.NowMs();
    ASSERT_TRUE(rig.engine.Upload(path, 3));
    const std::int64_t takenMs = rig.line.NowMs() - startMs;
    const std::int64_t expectedMs = DescribeImage(path).attemptMs;
    // Replies may add a few milliseconds of reading; any pause out of step adds more.
    EXPECT_GE(takenMs, expectedMs) << payload;
    EXPECT_LE(takenMs, expectedMs + 5) << payload;
  }
}

}  // namespace
}  // namespace flashdesk::records
