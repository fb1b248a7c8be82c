#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "protocol/Protocol.h"
#include "sim/FirmwareImage.h"
#include "testing/EngineRig.h"

namespace {

using ::testing::HasSubstr;

struct Finished {
  int exitCode;
  std::string output;
  std::string errors;
};

// flashdesk-cli and flashdesk-sim as a user runs them: real processes, a pseudo-terminal in
// between, and a configuration home of their own. Real time, so every wait is generous.
class CliEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    environment.insert("XDG_CONFIG_HOME", Path("config"));
    environment.remove("FLASHDESK_TRACE");
    // The option alone must lead to the simulator.
    environment.remove("FLASHDESK_PORT_TEMPLATE");
  }
  ~CliEndToEnd() override {
    simulator.terminate();
    simulator.waitForFinished(10000);
  }

  QString Path(const char* name) const {
    return QString::fromStdString((home.path / name).string());
  }
  // Starts the simulator on port 3 and waits for its link.
  void StartSimulator(const QStringList& speakerArguments) {
    simulator.setProcessEnvironment(environment);
    simulator.start(FLASHDESK_SIM_PATH, QStringList{"--link", Path("COM3")} + speakerArguments);
    for (int i = 0; i < 200 && !QFileInfo::exists(Path("COM3")); ++i)
      QThread::msleep(50);
    ASSERT_TRUE(QFileInfo::exists(Path("COM3"))) << simulator.readAll().toStdString();
  }
  // Runs the program to its end; whileRunning may watch and signal it meanwhile.
  Finished RunCli(const QStringList& arguments, const QByteArray& input = {},
                  const std::function<void(QProcess&)>& whileRunning = {}) {
    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.start(FLASHDESK_CLI_PATH, QStringList{"--port-template", Path("COM%i")} + arguments);
    cli.write(input);
    cli.closeWriteChannel();
    if (whileRunning)
      whileRunning(cli);
    if (!cli.waitForFinished(180000))
      cli.kill();
    cli.waitForFinished();
    return {cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1,
            cli.readAllStandardOutput().toStdString(), cli.readAllStandardError().toStdString()};
  }
  QString WriteImage(std::int32_t payloadLength) {
    return QString::fromStdString(home.Write(
        "TarnS1V2.34.syx", flashdesk::sim::BuildFirmwareImage(flashdesk::kKindApplication, 4, 2, 34,
                                                              payloadLength - 2)));
  }

  flashdesk::testing_support::TempFolder home;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  QProcess simulator;
};

TEST_F(CliEndToEnd, UploadAndExitDoTheWholeJob) {
  // Both wait in Application mode for the mode command that the upload's scan sends; the second
  // has no FPGA software, so the exit asks.
  StartSimulator({"--speaker", "1001:4:app:silent", "--speaker", "1002:4:app:silent", "--entry",
                  "1:1.00", "--entry", "4:1.00"});

  const Finished upload = RunCli({"upload", WriteImage(502)});
  EXPECT_EQ(upload.exitCode, 0) << upload.output << upload.errors;
  EXPECT_THAT(upload.output, HasSubstr(" 2 Speaker(s) Passed:\n"));
  EXPECT_THAT(upload.errors, ::testing::Not(HasSubstr("\r"))) << "stderr is a pipe here";
  QFile settings(Path("config/TARN-System.conf"));
  EXPECT_TRUE(settings.open(QIODevice::ReadOnly) && settings.readAll().contains("ComPort=3"));

  // A port that cannot be remembered is said, and the exit still works.
  home.Write("plain", {});
  environment.insert("XDG_CONFIG_HOME", Path("plain"));
  const Finished exit = RunCli({"exit"}, "y\n");
  EXPECT_EQ(exit.exitCode, 0) << exit.output << exit.errors;
  EXPECT_THAT(exit.output, HasSubstr("application 2.34")) << "the exit's scan sees the upload";
  EXPECT_THAT(exit.errors, HasSubstr("warning: Cannot write the settings file"));
}

// One command for the whole job; a speaker that never took the image is caught by the version
// it still reports.
TEST_F(CliEndToEnd, FlashVerifiesEverySpeakerAndReturnsThemToApplicationMode) {
  environment.insert("XDG_STATE_HOME", Path("state"));
  StartSimulator({"--speaker", "1001:4", "--speaker", "1002:4:deaf"});
  const Finished flash = RunCli({"flash", WriteImage(502), "--yes"});
  EXPECT_EQ(flash.exitCode, 1) << flash.output << flash.errors;
  EXPECT_THAT(flash.output, HasSubstr("Verify:\n    - Serial: 1001  TARN-S1  verified\n"
                                      "    - Serial: 1002  TARN-S1  version differs (has "));
  EXPECT_THAT(flash.output, HasSubstr(", file says 2.34)\n"));
  EXPECT_THAT(flash.output, HasSubstr("Speakers sent to Application mode"));
  const Finished history = RunCli({"history", "--json"});
  EXPECT_EQ(QByteArray::fromStdString(history.output).count("\"time\""), 1) << history.output;
}

// Opening a FIFO would wait for a writer, so it is refused by its type.
TEST_F(CliEndToEnd, AFifoIsRefusedAtOnce) {
  ASSERT_EQ(::mkfifo(Path("fifo.syx").toLocal8Bit().constData(), 0600), 0);
  const Finished fifo = RunCli({"upload", Path("fifo.syx")});
  EXPECT_EQ(fifo.exitCode, 2);
  EXPECT_THAT(fifo.errors, HasSubstr("not a regular file"));
}

// Ctrl-C, a closed terminal and a stopped service all stop before the next block, report and
// keep the history line; a second signal ends the program at once.
TEST_F(CliEndToEnd, InterruptedUploadStopsCleanlyAndReportsFailure) {
  environment.insert("XDG_STATE_HOME", Path("state"));
  StartSimulator({"--speaker", "3001:4"});
  const QString image = WriteImage(66 * 200);
  // Two signals of one kind may arrive as one; two kinds always arrive as two.
  const struct {
    std::vector<int> sent;
    int exitCode;
  } cases[] = {{{SIGINT}, 1}, {{SIGTERM}, 1}, {{SIGHUP}, 1}, {{SIGTERM, SIGHUP}, -1}};
  int recorded = 0;
  for (const auto& example : cases) {
    const std::string label = ::testing::PrintToString(example.sent);
    QByteArray progress;
    const Finished upload = RunCli({"upload", image}, {}, [&](QProcess& cli) {
      for (int i = 0; i < 1200 && !progress.contains("Progress: 3 %"); ++i) {
        cli.waitForReadyRead(100);
        progress += cli.readAllStandardError();
      }
      for (const int signal : example.sent) {
        if (cli.processId() > 0)
          ::kill(static_cast<pid_t>(cli.processId()), signal);
      }
    });
    EXPECT_TRUE(progress.contains("Progress: 3 %")) << label << progress.toStdString();
    EXPECT_EQ(upload.exitCode, example.exitCode) << label << upload.errors;
    if (example.exitCode == 1) {
      ++recorded;
      EXPECT_THAT(upload.output, HasSubstr("Status: One Or More Errors May Have Occoured"))
          << label;
      EXPECT_THAT(upload.errors, HasSubstr("stopping before the next block")) << label;
      EXPECT_THAT(upload.errors, HasSubstr("Stopped after block ")) << label;
      EXPECT_THAT(upload.errors, ::testing::Not(HasSubstr("Progress: 100 %"))) << label;
    }
    const Finished history = RunCli({"history", "--json"});
    EXPECT_EQ(QByteArray::fromStdString(history.output).count("\"serial\": 3001"), recorded)
        << label << history.output;
  }
}

}  // namespace
