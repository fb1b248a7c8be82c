#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <functional>

#include "protocol/Protocol.h"
#include "sim/FirmwareImage.h"
#include "testing/EngineRig.h"

namespace {

struct Finished {
  int exitCode = -1;
  QString output;
  QString errors;
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
    portOption = QStringList{"--port-template", Path("COM%i")};
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
                  const std::function<void(QProcess&)>& whileRunning = {}, int timeoutMs = 180000) {
    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.start(FLASHDESK_CLI_PATH, portOption + arguments);
    cli.write(input);
    cli.closeWriteChannel();
    if (whileRunning)
      whileRunning(cli);
    Finished finished;
    if (!cli.waitForFinished(timeoutMs)) {
      cli.kill();
      cli.waitForFinished();
      return finished;
    }
    finished.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    finished.output = QString::fromUtf8(cli.readAllStandardOutput());
    finished.errors = QString::fromUtf8(cli.readAllStandardError());
    return finished;
  }
  QString WriteImage(std::int32_t payloadLength) {
    return QString::fromStdString(home.Write(
        "TarnS1V2.34.syx", flashdesk::sim::BuildFirmwareImage(flashdesk::kKindApplication, 4, 2, 34,
                                                              payloadLength - 2)));
  }

  flashdesk::testing_support::TempFolder home;
  QStringList portOption;  // given before every run's arguments
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  QProcess simulator;
};

TEST_F(CliEndToEnd, ScanUploadAndExitDoTheWholeJob) {
  // Both wait in Application mode for the mode command that the scan sends; the second has no
  // FPGA software, so the exit asks.
  StartSimulator({"--speaker", "1001:4:app:silent", "--speaker", "1002:4:app:silent", "--entry",
                  "1:1.00", "--entry", "4:1.00"});

  const Finished scan = RunCli({"scan"});
  EXPECT_EQ(scan.exitCode, 0) << scan.errors.toStdString();
  EXPECT_TRUE(scan.output.contains("Port: 3 (")) << scan.output.toStdString();
  EXPECT_TRUE(scan.output.contains("Speakers: 2")) << scan.output.toStdString();
  EXPECT_TRUE(scan.output.contains("1002  TARN-S1")) << scan.output.toStdString();
  QFile settings(Path("config/TARN-System.conf"));
  EXPECT_TRUE(settings.open(QIODevice::ReadOnly) && settings.readAll().contains("ComPort=3"));

  const Finished upload = RunCli({"upload", WriteImage(502)});
  EXPECT_EQ(upload.exitCode, 0) << upload.output.toStdString() << upload.errors.toStdString();
  EXPECT_TRUE(upload.output.contains("Status: Upload Complete\n 2 Speaker(s) Passed:\n"))
      << upload.output.toStdString();
  EXPECT_TRUE(upload.errors.contains("Progress: 100 %")) << upload.errors.toStdString();
  EXPECT_FALSE(upload.errors.contains('\r')) << "stderr is a pipe here";

  const Finished exit = RunCli({"exit"}, "y\n");
  EXPECT_EQ(exit.exitCode, 0) << exit.output.toStdString() << exit.errors.toStdString();
  EXPECT_TRUE(exit.output.contains("application 2.34")) << "the exit's scan sees the upload";
  EXPECT_TRUE(exit.output.contains("no valid fpga software")) << exit.output.toStdString();
  EXPECT_TRUE(exit.output.contains("port closed")) << exit.output.toStdString();

  // A port that cannot be remembered is said, and the scan still works.
  home.Write("plain", {});
  environment.insert("XDG_CONFIG_HOME", Path("plain"));
  const Finished unsaved = RunCli({"scan"});
  EXPECT_EQ(unsaved.exitCode, 0) << unsaved.errors.toStdString();
  EXPECT_TRUE(unsaved.errors.contains("warning: Cannot write the settings file"))
      << unsaved.errors.toStdString();
}

TEST_F(CliEndToEnd, MistakesEndAtOnceWithTwo) {
  QFile::remove(Path("fifo.syx"));
  ASSERT_EQ(::mkfifo(Path("fifo.syx").toLocal8Bit().constData(), 0600), 0);
  const Finished fifo = RunCli({"upload", Path("fifo.syx")}, {}, {}, 20000);
  EXPECT_EQ(fifo.exitCode, 2) << "opening a FIFO waits for a writer";
  EXPECT_TRUE(fifo.errors.contains("not a regular file")) << fifo.errors.toStdString();

  const Finished misuse = RunCli({"flash"});
  EXPECT_EQ(misuse.exitCode, 2);
  EXPECT_TRUE(misuse.errors.contains("unknown command 'flash'")) << misuse.errors.toStdString();

  // Named, not silently replaced by the default.
  portOption.clear();
  environment.insert("FLASHDESK_PORT_TEMPLATE", "/dev/ttyS");
  const Finished badTemplate = RunCli({"scan"});
  EXPECT_EQ(badTemplate.exitCode, 2);
  EXPECT_TRUE(badTemplate.errors.contains("FLASHDESK_PORT_TEMPLATE is \"/dev/ttyS\""))
      << badTemplate.errors.toStdString();
}

TEST_F(CliEndToEnd, InterruptedUploadStopsCleanlyAndReportsFailure) {
  StartSimulator({"--speaker", "3001:4"});
  QByteArray progress;
  const Finished upload = RunCli({"upload", WriteImage(66 * 200)}, {}, [&](QProcess& cli) {
    for (int i = 0; i < 1200 && !progress.contains("Progress: 5 %"); ++i) {
      cli.waitForReadyRead(100);
      progress += cli.readAllStandardError();
    }
    if (cli.processId() > 0)
      ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
  });
  EXPECT_TRUE(progress.contains("Progress: 5 %")) << progress.toStdString();
  EXPECT_EQ(upload.exitCode, 1);
  EXPECT_TRUE(upload.output.contains("Status: One Or More Errors May Have Occoured"));
}

}  // namespace
