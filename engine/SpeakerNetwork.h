#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/EngineServices.h"
#include "engine/ImageFile.h"
#include "engine/Outcomes.h"
#include "log/ErrorLog.h"
#include "platform/Clock.h"
#include "platform/ProgressSink.h"
#include "protocol/MessageLayer.h"
#include "protocol/Protocol.h"
#include "protocol/SpeakerRecord.h"
#include "transport/SerialPort.h"

namespace flashdesk {

// The upload engine: knows the speakers on the bus and performs every operation on it.
// One operation at a time: ScanNetwork, Upload and ConfirmExit each hold the engine for their
// whole run (the scan waits for it without limit, the others at most kLockLimitMs), and so
// does a Hold. Each returns what it did, taken while it still holds the engine, so no caller
// reads the engine's state afterwards. Every pause and reply window is measured with
// services.clock.
class SpeakerNetwork {
 public:
  static constexpr int kMaxSpeakers = 18;
  static constexpr std::int32_t kLockLimitMs = 10000;
  static constexpr std::int32_t kNoLimit = -1;
  static constexpr const char* kPortValueName = "ComPort";
  static constexpr std::int32_t kHighestPort = ScanOutcome::kHighestPort;
  static constexpr int kAttempts = 3;

  // Keeps every other operation waiting while it lives, as a running one would. Waits at most
  // limitMs (kNoLimit: as long as it takes) on the engine's clock. Starting a scan, upload or
  // exit while holding it would wait for the holder.
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
  ScanOutcome ScanNetwork();
  // Makes the following scans try only the device at path (nullopt: the numbered ports
  // again). Waits for a running operation.
  void PinPort(std::optional<std::string> path);
  // Receives the upload's percentages; null for none. Set it while no upload runs.
  void SetProgressTarget(platform::ProgressSink* target) { progressTarget = target; }
  // Streams the image to every speaker, up to three attempts; done when an attempt saw no
  // transfer error. savedPort -1 (no network found) sends nothing, unless a port is pinned.
  UploadOutcome Upload(const std::string& path, std::int32_t savedPort);
  // Stops an upload, identifies again, checks the software and returns the speakers to
  // Application mode, holding the engine throughout; not allowed when the user is to stay or
  // the engine stayed busy for kLockLimitMs.
  ExitOutcome ConfirmExit();
  // Asks a running upload to stop before its next block. Lock-free: safe from any thread and
  // from a signal handler. ConfirmExit clears the request.
  void RequestAbort() { abortRequested = true; }
  bool AbortRequested() const { return abortRequested; }
  // The stored port number, -1 when absent, empty, too long or unreadable.
  std::int32_t ReadSavedPort();
  void SavePort(std::int32_t port);

 private:
  // What a listening window's reader made of the bytes that just arrived.
  enum class Heard { kNothing, kRestartWindow, kEnough };
  // How an upload attempt ended.
  enum class AttemptEnd { kStopped, kTransferError, kClean };

  void Reset();
  // Waits for `lock` at most limitMs on services.clock (kNoLimit: without limit).
  bool LockWithin(std::int32_t limitMs);
  // The port and table as they stand; the caller holds the engine.
  BusSnapshot Snapshot() const;
  bool PortIsOpen() const { return port.Device().IsOpen(); }
  // Sends the command whose payload a protocol writer put into txFrame.
  void Send(std::uint8_t command, std::uint8_t destination);
  void SendIdentifyRequest();
  // One ReadBurst into rxBuffer, appended to the message layer when it brought bytes.
  std::int32_t ReadIntoMessages();
  // Reads bursts until windowMs have passed since the window opened, handing every burst that
  // brought bytes to take; true when take had enough. A closed port hears nothing at once.
  bool Listen(std::int32_t windowMs, const std::function<Heard()>& take);

  // After a search without speakers: the saved port is forgotten, unless another program held
  // a port the speakers may be behind.
  void NoteNobodyFound(const ScanOutcome& outcome);
  // The numbered search, saved port first; true with the port open when speakers answered.
  bool SearchNumberedPorts(ScanOutcome& outcome);
  // Pings the open port, and once more after switching to Boot mode.
  bool ProbeOpenPort();
  // Keeps a port that gave no speakers: why it did not open, or that nobody answered, and
  // the port once more when another program holds it.
  void NoteTried(std::int32_t number, const std::string& path, bool opened, ScanOutcome& outcome);
  // True if any speaker answered an identification request within 200 ms.
  bool PingSpeakers();
  // Rebuilds the table from five identification passes; true when a pass had to be cut short
  // because the replies did not stop.
  bool IdentifySpeakers();
  // True if FE 00 arrived within 2000 ms.
  bool WaitForBootSignal();
  // Listens up to 2000 ms for the boot signal, then sends the mode command (to 0x00 when the
  // signal was heard, else to every speaker) and pauses 2000 ms for mode 3, 1000 ms otherwise.
  void SetMode(std::uint8_t mode);
  // Enters the record in the table, or refreshes the entry of the same serial.
  void EnterSpeaker(const SpeakerRecord& record);
  // Valid records without a boot loader, without their application, without FPGA software.
  std::int32_t CountMissingBoot() const;
  std::int32_t CountMissingApplication() const;
  std::int32_t CountMissingFpga() const;

  // The upload's steps: one attempt; its start command with the reads after it (false when
  // nothing was heard or the port is gone); its data blocks (false when the upload must stop);
  // the replies after the last block. heardBytes runs on from one attempt's tail to the next
  // attempt's start.
  AttemptEnd RunAttempt(const std::string& path, std::int32_t extraDelay, std::int64_t& heardBytes,
                        UploadOutcome& outcome);
  bool StartTransfer(std::int64_t& heardBytes);
  bool SendBlocks(const std::string& path, std::int32_t extraDelay, std::string& imageProblem);
  void CollectTail(std::int64_t& heardBytes);
  // One ReadBurst whose status replies go to events; the number of bytes it brought.
  std::int32_t CollectStatusReplies();
  // reads times: one such burst, then the 100 ms read pause; the bytes they brought.
  std::int64_t CollectPaced(int reads);
  // Reads the next up to 66 payload bytes and sends them as data block `sequence`; false when
  // the read failed before the end of the file.
  bool SendNextDataBlock(std::uint8_t sequence);
  // Closes the image and traces why it could not be sent; problem is kept for the outcome.
  void NoteImageProblem(const std::string& problem, std::string& imageProblem);
  // True (with the image closed) when a call since the port opened found the device gone.
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
  std::uint8_t txFrame[1030] = {};
  std::uint8_t rxBuffer[4098] = {};
  MessageLayer messages;
  SerialPort port;

  // The image of the running upload.
  ImageFile imageFile;
  ImageHead imageHead;
  platform::BlockProgress blocks;

  ErrorLog events;
  platform::ProgressSink* progressTarget = nullptr;
  static_assert(std::atomic<bool>::is_always_lock_free, "raised from a signal handler");
  std::atomic<bool> abortRequested{false};
  std::mutex lock;
};

}  // namespace flashdesk
