#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/ImageFile.h"
#include "log/ErrorLog.h"
#include "platform/Clock.h"
#include "platform/ProgressSink.h"
#include "platform/Prompts.h"
#include "platform/SerialApi.h"
#include "platform/SettingsStore.h"
#include "protocol/MessageLayer.h"
#include "protocol/Protocol.h"
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
// One operation at a time: ScanNetwork, Upload and ConfirmExit each hold the engine for their
// whole run (the scan waits for it without limit, the others at most kLockLimitMs), and so
// does a Hold. The table and port belong to whoever holds the engine. Every pause and reply
// window is measured with services.clock.
class SpeakerNetwork {
 public:
  static constexpr int kMaxSpeakers = 18;
  static constexpr std::int32_t kLockLimitMs = 10000;
  static constexpr std::int32_t kNoLimit = -1;
  static constexpr const char* kPortValueName = "ComPort";
  static constexpr std::int32_t kHighestPort = 10;
  static constexpr std::int32_t kHeaderBytes = 7;
  // The payload length travels as three 7-bit groups.
  static constexpr std::int32_t kLargestPayload = 2097151;
  static constexpr int kAttempts = 3;

  static constexpr const char* kMissingBootMessage =
      "A speaker is missing a boot software\nUpload a new boot application before you exit!!!\n";
  static constexpr const char* kMissingApplicationLine =
      "One or more speakers have no valid application\n";
  static constexpr const char* kMissingFpgaLine =
      "One or more speakers have no valid fpga software\n";
  static constexpr const char* kExitQuestionTail =
      "\nIf you exit now your system might crash\n\nDo you want to exit?\n";

  // Keeps every other operation waiting while it lives, as a running one would: for a front
  // end that reads the table across several calls. Waits at most limitMs (kNoLimit: as long
  // as it takes) on the engine's clock. Starting a scan, upload or exit while holding it
  // would wait for the holder.
  class Hold {
   public:
    Hold(SpeakerNetwork& engine, std::int32_t limitMs);
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    ~Hold();
    bool Held() const { return held; }

   private:
    SpeakerNetwork& engine;
    bool held;
  };

  explicit SpeakerNetwork(const EngineServices& services);
  SpeakerNetwork(const SpeakerNetwork&) = delete;
  SpeakerNetwork& operator=(const SpeakerNetwork&) = delete;

  // Finds the bus (saved port first), switches silent speakers to Boot mode, identifies every
  // speaker and saves the working port (or -1). A pinned port is the only one tried and
  // leaves the saved port as it is.
  void ScanNetwork();
  // Makes the following scans try only the device at path (nullopt: the numbered ports
  // again). Waits for a running operation.
  void PinPort(std::optional<std::string> path);
  // Valid records of type t holding an entry of kind k.
  std::int32_t CountSpeakers(std::int32_t type, std::int32_t kind) const;
  void SetProgressTarget(platform::ProgressSink* target) { progressTarget = target; }
  // Streams the image to every speaker, up to three attempts; true when an attempt saw no
  // transfer error. savedPort -1 (no network found) sends nothing, unless a port is pinned.
  bool Upload(const std::string& path, std::int32_t savedPort);
  // Attempts the last upload began sending, 0 to kAttempts.
  std::int32_t AttemptsMade() const { return attemptsMade; }
  void CopyEvents(ErrorLog& target) const { target = events; }
  // Stops an upload, identifies again, checks the software and returns the speakers to
  // Application mode, holding the engine throughout; false when the user is to stay or the
  // engine stayed busy for kLockLimitMs.
  bool ConfirmExit();
  // Asks a running upload to stop before its next block. Lock-free: safe from any thread and
  // from a signal handler. ConfirmExit clears the request.
  void RequestAbort() { abortRequested = true; }
  bool AbortRequested() const { return abortRequested; }
  // The stored port number, -1 when absent, empty, too long or unreadable.
  std::int32_t ReadSavedPort();
  void SavePort(std::int32_t port);

  // Listens up to 2000 ms for the boot signal, then sends the mode command (to 0x00 when the
  // signal was heard, else to every speaker) and pauses 2000 ms for mode 3, 1000 ms otherwise.
  void SetMode(std::uint8_t mode);
  // False for a file that cannot be read whole, holds no payload, a payload too long for the
  // length field, or header bytes 0 to 2 that do not fit in a 7-bit frame; ImageProblem says
  // which.
  bool OpenImage(const std::string& path);
  void CloseImage();
  // Valid records without a boot loader, without their application, without FPGA software.
  std::int32_t CountMissingBoot() const;
  std::int32_t CountMissingApplication() const;
  std::int32_t CountMissingFpga() const;

  std::int32_t SpeakerCount() const { return speakerCount; }
  // Distinct speakers the last identification heard but could not enter: the table was full.
  std::int32_t UnlistedSpeakerCount() const {
    return static_cast<std::int32_t>(unlistedSerials.size());
  }
  const SpeakerRecord& Speaker(int index) const { return speakers[index]; }
  // The numbered port the last scan found; -1 when none or the port is pinned.
  std::int32_t PortNumber() const { return portNumber; }
  // What PinPort set.
  const std::optional<std::string>& PinnedPath() const { return pinnedPath; }
  // The device path the last scan found the speakers at; empty when none.
  const std::string& PortPath() const { return portPath; }
  // Ports that the last scan found held by another program, each once, in the order tried.
  // A scan that found no speakers keeps the saved port when this is not empty.
  const std::vector<std::int32_t>& BusyPorts() const { return busyPorts; }
  // The device paths of BusyPorts, or the pinned port's when another program holds it.
  const std::vector<std::string>& BusyPaths() const { return busyPaths; }
  std::int32_t PayloadLength() const { return payloadLength; }
  bool ImageIsOpen() const { return imageFile.IsOpen(); }
  // Why the image of the last OpenImage or upload could not be opened or read whole, with its
  // path; empty when it could.
  const std::string& ImageProblem() const { return imageProblem; }
  bool PortIsOpen() const { return port.Device().IsOpen(); }

 private:
  // What a listening window's reader made of the bytes that just arrived.
  enum class Heard { kNothing, kRestartWindow, kEnough };
  // How an upload attempt ended.
  enum class AttemptEnd { kStopped, kTransferError, kClean };

  void Reset();
  // Waits for `lock` at most limitMs on services.clock (kNoLimit: without limit).
  bool LockWithin(std::int32_t limitMs);
  // Sends the command whose payload a protocol writer put into txFrame.
  void Send(std::uint8_t command, std::uint8_t destination);
  void SendIdentifyRequest();
  // One ReadBurst into rxBuffer, appended to the message layer when it brought bytes.
  std::int32_t ReadIntoMessages();
  // Reads bursts until windowMs have passed since the window opened, handing every burst that
  // brought bytes to take; true when take had enough. A closed port hears nothing at once.
  bool Listen(std::int32_t windowMs, const std::function<Heard()>& take);

  // The numbered search, saved port first; true with the port open when speakers answered.
  bool SearchNumberedPorts();
  // Pings the open port, and once more after switching to Boot mode.
  bool ProbeOpenPort();
  // Keeps a port that did not open because another program holds it.
  void NoteIfBusy(std::int32_t number, const std::string& path);
  // True if any speaker answered an identification request within 200 ms.
  bool PingSpeakers();
  // Rebuilds the table from five identification passes.
  void IdentifySpeakers();
  // True if FE 00 arrived within 2000 ms.
  bool WaitForBootSignal();
  // Enters the record in the table, or refreshes the entry of the same serial.
  void EnterSpeaker(const SpeakerRecord& record);

  // The upload's steps: one attempt; its start command with the reads after it (false when
  // nothing was heard or the port is gone); its data blocks (false when the upload must stop);
  // the replies after the last block. heardBytes runs on from one attempt's tail to the next
  // attempt's start.
  AttemptEnd RunAttempt(const std::string& path, std::int32_t extraDelay, std::int64_t& heardBytes);
  bool StartTransfer(std::int64_t& heardBytes);
  bool SendBlocks(const std::string& path, std::int32_t extraDelay);
  void CollectTail(std::int64_t& heardBytes);
  // One ReadBurst whose status replies go to events; the number of bytes it brought.
  std::int32_t CollectStatusReplies();
  // reads times: one such burst, then the 100 ms read pause; the bytes they brought.
  std::int64_t CollectPaced(int reads);
  // Reads the next up to 66 payload bytes and sends them as data block `sequence`; false when
  // the read failed before the end of the file.
  bool SendNextDataBlock(std::uint8_t sequence);
  // Closes the image, keeps problem for ImageProblem and traces it.
  void NoteImageProblem(const std::string& problem);
  // True (with the image closed) when a write found the device gone.
  bool PortGone();
  void ReportProgress(std::int32_t percent);
  void ReportBlockProgress();

  EngineServices services;
  SpeakerRecord speakers[kMaxSpeakers] = {};
  std::int32_t speakerCount = 0;
  std::vector<std::uint32_t> unlistedSerials;
  std::int32_t portNumber = -1;
  std::optional<std::string> pinnedPath;
  std::string portPath;
  std::vector<std::int32_t> busyPorts;
  std::vector<std::string> busyPaths;
  std::uint8_t txFrame[1030] = {};
  std::uint8_t rxBuffer[4098] = {};
  MessageLayer messages;
  SerialPort port;

  // The image, as OpenImage found it.
  ImageFile imageFile;
  std::string imageProblem;
  std::int32_t payloadLength = -1;
  std::uint8_t imageHeader[kHeaderBytes] = {};

  ErrorLog events;
  std::int32_t attemptsMade = 0;
  platform::ProgressSink* progressTarget = nullptr;
  static_assert(std::atomic<bool>::is_always_lock_free, "raised from a signal handler");
  std::atomic<bool> abortRequested{false};
  std::mutex lock;
};

}  // namespace flashdesk
