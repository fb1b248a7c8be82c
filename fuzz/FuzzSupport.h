#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// What the fuzz targets share. Each target defines LLVMFuzzerTestOneInput; a broken check
// aborts, which libFuzzer reports as a crash and the corpus run as a failed test.
#define FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : ::flashdesk::fuzz::Fail(#condition, __FILE__, __LINE__))

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace flashdesk::fuzz {

[[noreturn]] inline void Fail(const char* check, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, check);
  std::abort();
}

// A folder of this process for the files a target reads, in memory where the system offers
// it (/dev/shm), so that a write and its fsync cost microseconds; removed at exit.
const std::string& ScratchFolder();

// Writes size bytes to name in the scratch folder and returns its path.
std::string WriteScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size);

}  // namespace flashdesk::fuzz
