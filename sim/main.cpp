// flashdesk-sim: simulated TARN speakers on a pseudo-terminal, and our sample firmware.
#include <signal.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/Protocol.h"
#include "sim/FirmwareImage.h"
#include "sim/SimOptions.h"
#include "sim/SpeakerBus.h"
#include "sim/posix/PtyBus.h"

namespace {

using flashdesk::sim::SimOptions;

constexpr int kUsageError = 2;
constexpr int kSetupFailure = 1;

int MakeFirmware(const std::string& folder) {
  std::string error;
  if (!flashdesk::sim::WriteSampleFirmware(folder, error)) {
    std::cerr << "flashdesk-sim: " << error << "\n";
    return kSetupFailure;
  }
  std::cout << "flashdesk-sim: wrote " << flashdesk::sim::SampleFirmwareFiles().size()
            << " sample images to " << folder << "\n";
  return 0;
}

// Each speaker's last received image as FOLDER/SERIAL.bin, for comparing with the file sent.
bool SaveUploads(const flashdesk::sim::SpeakerBus& bus, const std::string& folder) {
  bool saved = true;
  for (int i = 0; i < bus.SpeakerCount(); ++i) {
    const flashdesk::sim::SpeakerState speaker = bus.Speaker(i);
    if (speaker.uploadAttempts == 0)
      continue;
    const std::string path = folder + "/" + std::to_string(speaker.config.serial) + ".bin";
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(speaker.upload.payload.data()),
               static_cast<std::streamsize>(speaker.upload.payload.size()));
    if (!file) {
      std::cerr << "flashdesk-sim: cannot write " << path << "\n";
      saved = false;
    }
  }
  return saved;
}

int Serve(const SimOptions& options) {
  // The signals are taken by sigtimedwait below, never by a handler; blocked before the
  // serving thread starts so it inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  flashdesk::sim::SpeakerBus bus;
  flashdesk::sim::PtyBus pty(bus, options.linkPath);
  std::mutex printing;
  if (options.verbose) {
    bus.SetObserver([&pty, &printing](const std::string& line) {
      std::lock_guard<std::mutex> hold(printing);
      std::printf("%8lld ms  %s\n", static_cast<long long>(pty.NowMs()), line.c_str());
      std::fflush(stdout);
    });
  }
  for (const flashdesk::sim::SpeakerConfig& speaker : options.speakers) {
    bus.AddSpeaker(speaker);
  }
  if (options.noiseAfterUploadStart) {
    bus.SendRawAfter(flashdesk::kUploadStart, 200, {0x13, 0x37, 0x42}, 1000000);
  }
  std::string error;
  if (!pty.Start(error)) {
    std::cerr << "flashdesk-sim: " << error << "\n";
    return kSetupFailure;
  }
  {
    std::lock_guard<std::mutex> hold(printing);
    std::printf("flashdesk-sim: %zu speaker(s) on %s (linked at %s); Ctrl-C stops\n",
                options.speakers.size(), pty.SlavePath().c_str(), options.linkPath.c_str());
    std::fflush(stdout);
  }
  bool toldVanished = false;
  const timespec poll{0, 200 * 1000 * 1000};
  for (;;) {
    const int signal = sigtimedwait(&stopSignals, nullptr, &poll);
    if (signal == SIGINT || signal == SIGTERM) {
      break;
    }
    if (pty.HasVanished() && !toldVanished) {
      toldVanished = true;
      std::lock_guard<std::mutex> hold(printing);
      std::printf("flashdesk-sim: the port went dead (simulated unplugging)\n");
      std::fflush(stdout);
    }
  }
  pty.Stop();
  bus.SetObserver(nullptr);
  std::printf("flashdesk-sim: stopped, link removed\n");
  if (!options.uploadsFolder.empty() && !SaveUploads(bus, options.uploadsFolder))
    return kSetupFailure;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  SimOptions options;
  std::string error;
  if (!flashdesk::sim::ParseSimOptions(arguments, options, error)) {
    std::cerr << "flashdesk-sim: " << error << "\nTry 'flashdesk-sim --help'.\n";
    return kUsageError;
  }
  switch (options.command) {
    case SimOptions::Command::kHelp:
      std::cout << flashdesk::sim::SimUsage();
      return 0;
    case SimOptions::Command::kVersion:
      std::cout << "flashdesk-sim " FLASHDESK_VERSION "\n";
      return 0;
    case SimOptions::Command::kMakeFirmware:
      return MakeFirmware(options.firmwareFolder);
    case SimOptions::Command::kServe:
      break;
  }
  return Serve(options);
}
