#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "log/ErrorLog.h"
#include "platform/Clock.h"
#include "platform/ProgressSink.h"
#include "platform/Prompts.h"
#include "platform/SerialApi.h"
#include "platform/SettingsStore.h"
#include "protocol/MessageLayer.h"
#include "protocol/SpeakerRecord.h"
#include "transport/SerialPort.h"

namespace flashdesk {

// What the engine needs of the world; all outlive the engine.
struct EngineServices {
  platform::SerialApi& serial;
  platform::Clock& clock;
  platform::SettingsStore& settings;
  platform::Prompts& prompts;
};

// The upload engine: knows the speakers on the bus and performs every operation on it.
// ScanNetwork and Upload hold `lock` for their whole run; ConfirmExit waits for it and then
// works without it. The table and port belong to whoever holds the lock.
class SpeakerNetwork {
 public:
  static constexpr int kMaxSpeakers = 18;
  static constexpr std::int32_t kUploadLockLimitMs = 10000;
  static constexpr const char* kPortValueName = "ComPort";

  explicit SpeakerNetwork(const EngineServices& services);
  SpeakerNetwork(const SpeakerNetwork&) = delete;
  SpeakerNetwork& operator=(const SpeakerNetwork&) = delete;
  virtual ~SpeakerNetwork();

  // Finds the bus (saved port first), switches silent speakers to Boot mode, identifies every
  // speaker and saves the working port (or -1).
  void ScanNetwork();
  // Valid records of type t holding an entry of kind k.
  std::int32_t CountSpeakers(std::int32_t type, std::int32_t kind) const;
  void SetProgressTarget(platform::ProgressSink* target) { progressTarget = target; }
  // Streams the image to every speaker, up to three attempts; true when an attempt saw no
  // transfer error.
  bool Upload(const std::string& path, std::int32_t savedPort);
  void CopyEvents(ErrorLog& target) const { target = events; }
  // Stops an upload, identifies again, checks the software and returns the speakers to
  // Application mode; false when the user is to stay.
  bool ConfirmExit();
  std::int32_t ReadSavedPort();
  void SavePort(std::int32_t port);

  // Building blocks, public for the exit checks and the tests.
  bool PingSpeakers();
  void IdentifySpeakers();
  bool WaitForBootSignal();
  void SetMode(std::uint8_t mode);
  bool OpenImage(const std::string& path);
  void CloseImage();
  void SendUploadStart();
  std::int32_t CountMissingBoot() const;
  std::int32_t CountMissingApplication() const;
  std::int32_t CountMissingFpga() const;

  std::int32_t SpeakerCount() const { return speakerCount; }
  const SpeakerRecord& Speaker(int index) const { return speakers[index]; }
  std::int32_t PortNumber() const { return portNumber; }
  std::int32_t BlockSize() const { return blockSize; }
  std::int32_t PayloadLength() const { return payloadLength; }

  std::atomic<bool> abortRequested{false};
  std::timed_mutex lock;

 private:
  void Reset();
  // ... further members as the engine needs them

  EngineServices services;
  SpeakerRecord speakers[kMaxSpeakers] = {};
  std::int32_t speakerCount = 0;
  std::int32_t portNumber = -1;
  std::uint8_t txFrame[1030] = {};
  std::uint8_t rxBuffer[4098] = {};
  MessageLayer messages;
  SerialPort port;
  std::FILE* imageFile = nullptr;
  std::int32_t payloadLength = -1;
  std::int32_t blockSize = 0;
  ErrorLog events;
  platform::ProgressSink* progressTarget = nullptr;
};

}  // namespace flashdesk
