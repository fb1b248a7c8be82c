#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

#include "protocol/Protocol.h"
#include "sim/FirmwareImage.h"

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
    ASSERT_TRUE(home.isValid());
    environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.remove("FLASHDESK_TRACE");
  }
  void TearDown() override {
    if (simulator.state() != QProcess::NotRunning) {
      simulator.terminate();
      if (!simulator.waitForFinished(10000))
        simulator.kill();
    }
  }

  // Starts the simulator on port 3 and waits for its link.
  void StartSimulator(const QStringList& speakerArguments) {
    simulator.setProcessEnvironment(environment);
    simulator.start(FLASHDESK_SIM_PATH,
                    QStringList{"--link", home.filePath("COM3")} + speakerArguments);
    ASSERT_TRUE(simulator.waitForStarted(10000));
    for (int i = 0; i < 200 && !QFileInfo::exists(home.filePath("COM3")); ++i) {
      QThread::msleep(50);
    }
    ASSERT_TRUE(QFileInfo::exists(home.filePath("COM3"))) << simulator.readAll().toStdString();
  }

  Finished RunCli(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.start(FLASHDESK_CLI_PATH,
              QStringList{"--port-template", home.filePath("COM%i")} + arguments);
    Finished finished;
    if (!cli.waitForStarted(10000))
      return finished;
    cli.write(input);
    cli.closeWriteChannel();
    if (!cli.waitForFinished(180000)) {
      cli.kill();
      cli.waitForFinished();
      return finished;
    }
    finished.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    finished.output = QString::fromUtf8(cli.readAllStandardOutput());
    finished.errors = QString::fromUtf8(cli.readAllStandardError());
    return finished;
  }

  QString WriteImage(const QString& name, std::int32_t payloadLength) {
    const std::vector<std::uint8_t> image = flashdesk::sim::BuildFirmwareImage(
        flashdesk::kKindApplication, 4, 2, 34, payloadLength - 2);
    QFile file(home.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
      return {};
    file.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
    return file.fileName();
  }

  QString SavedSettings() const {
    QFile file(home.filePath("config/TARN-System.conf"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }

  QTemporaryDir home;
  QProcessEnvironment environment;
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
  EXPECT_TRUE(SavedSettings().contains("ComPort=3")) << SavedSettings().toStdString();

  const Finished upload = RunCli({"upload", WriteImage("TarnS1V2.34.syx", 502)});
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

  const Finished misuse = RunCli({"flash"});
  EXPECT_EQ(misuse.exitCode, 2);
  EXPECT_TRUE(misuse.errors.contains("unknown command 'flash'")) << misuse.errors.toStdString();
}

TEST_F(CliEndToEnd, InterruptedUploadStopsCleanlyAndReportsFailure) {
  StartSimulator({"--speaker", "3001:4"});
  QProcess cli;
  cli.setProcessEnvironment(environment);
  cli.start(FLASHDESK_CLI_PATH, QStringList{"--port-template", home.filePath("COM%i"), "upload",
                                            WriteImage("big.syx", 66 * 200)});
  ASSERT_TRUE(cli.waitForStarted(10000));
  QByteArray errors;
  for (int i = 0; i < 1200 && !errors.contains("Progress: 5 %"); ++i) {
    cli.waitForReadyRead(100);
    errors += cli.readAllStandardError();
  }
  ASSERT_TRUE(errors.contains("Progress: 5 %")) << errors.toStdString();
  ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
  ASSERT_TRUE(cli.waitForFinished(60000));
  EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(cli.exitCode(), 1);
  EXPECT_TRUE(cli.readAllStandardOutput().contains("Status: One Or More Errors May Have Occoured"));
}

}  // namespace
