#include "app/UploadDialog.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMetaObject>
#include <QMimeData>
#include <QMouseEvent>
#include <QSaveFile>
#include <QScreen>
#include <QUrl>
#include <algorithm>
#include <cstdlib>

#include "app/AboutDialog.h"
#include "app/BitmapButton.h"
#include "app/FirmwareDrop.h"
#include "panels/GuiThread.h"
#include "panels/PixelFont.h"
#include "platform/PortTemplate.h"
#include "platform/Trace.h"

namespace flashdesk {
namespace {

const QColor kText(100, 100, 100);
const QColor kBoxFill(250, 250, 250);
const QColor kBoxFrame(200, 200, 200);

constexpr int kBoxLeft = 35;
constexpr int kBoxTop = 96;
constexpr int kBoxWidth = 440;
constexpr int kHelpBoxHeight = 290;
constexpr int kTextLeft = 55;
constexpr int kReportLineHeight = 20;

void DrawTextAt(QPainter& painter, const QFont& font, int x, int top, const char* text) {
  painter.setFont(font);
  painter.drawText(x, top + TextTopToBaseline(font), QString::fromUtf8(text));
}

QString Text(const char* text) {
  return QString::fromUtf8(text);
}

// A value the window remembered; nullopt when it is missing or empty.
std::optional<std::string> Recall(platform::SettingsStore& settings, const char* name) {
  std::string value;
  if (settings.OpenSection() && settings.ReadValue(name, value) && !value.empty())
    return value;
  return std::nullopt;
}

// A value that cannot be stored only costs the next start its choice: traced, not shown.
void Remember(platform::SettingsStore& settings, const char* name, const std::string& value) {
  if (!settings.OpenSection() || !settings.WriteValue(name, value))
    platform::Trace(std::string(name) + " " + value + " not remembered");
}

// FLASHDESK_PORT, else the device last chosen in the menu; nullopt for the numbered ports.
std::optional<std::string> StartupPort(platform::SettingsStore& settings) {
  const char* pinned = std::getenv(platform::kPinnedPortVariable);
  if (pinned != nullptr && *pinned != '\0')
    return std::string(pinned);
  return Recall(settings, UploadDialog::kPortPathValueName);
}

}  // namespace

UploadDialog::UploadDialog(const EngineServices& services, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint),
      prompts(services.prompts),
      speakerPanel(this),
      firmwarePanel(services.prompts, this),
      progress(this),
      skin(QStringLiteral(":/bitmaps/130.png")),
      captionFont(PixelFont(20, 10, 700)),
      headingFont(PixelFont(18, 9, 700)),
      bodyFont(PixelFont(15, 7, 400)),
      statusFont(PixelFont(15, 7, 400)),
      controller(services, *this, progress) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setWindowTitle(QString::fromLatin1(strings::kProgramName));
  setWindowIcon(QIcon(QStringLiteral(":/bitmaps/128.png")));
  speakerPanel.hide();
  firmwarePanel.hide();
  progress.hide();
  connect(&speakerPanel, &PagedPanel::Command, this, &UploadDialog::OnCommand);
  connect(&firmwarePanel, &PagedPanel::Command, this, &UploadDialog::OnCommand);
  setFixedSize(kClientWidth, kClientHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  setAcceptDrops(true);
  if (const std::optional<std::string> folder = Recall(controller.Settings(), kFolderValueName))
    firmwarePanel.SetFolder(*folder);
  controller.PinPort(StartupPort(controller.Settings()));
  initialised = Initialise();
}

int UploadDialog::exec() {
  StartScan();
  return QDialog::exec();
}

void UploadDialog::StartScan() {
  ExpectOwnThread(this);
  if (initialised)
    controller.StartScan();
}

bool UploadDialog::Initialise() {
  if (logicalDpiX() != kRequiredDpi || logicalDpiY() != kRequiredDpi) {
    // The skin is laid out in fixed pixels and cannot follow other resolutions.
    prompts.ShowMessage(strings::kDpiMessage);
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    return false;
  }
  // The bitmaps carry the labels; screen readers get the words.
  BitmapButton* upload =
      AddButton(kUploadCommand, {653, 410}, {132, 133, 132, 133}, "upload", strings::kUpload);
  AddButton(kExitCommand, {726, 490}, {134, 134, 134, 134}, "exit", strings::kExit);
  AddButton(kExitCommand, {780, 5}, {158, 159, 159, 158}, "close", strings::kExit);
  AddButton(kHelpCommand, {700, 9}, {135, 135, 135, 135}, "help", strings::kHelp);
  upload->setFocus();

  progress.setAccessibleName(QString::fromLatin1(strings::kProgress));
  progress.Create(QRect(QPoint(196, 410), QPoint(638, 445)));
  progress.SetRange(0, 100);
  speakerPanel.setGeometry(QRect(QPoint(550, 120), QPoint(849, 219)));
  speakerPanel.show();
  firmwarePanel.setGeometry(QRect(QPoint(550, 268), QPoint(849, 367)));
  firmwarePanel.show();
  return true;
}

// Bitmaps by resource number: normal, pressed, focused, disabled.
BitmapButton* UploadDialog::AddButton(int command, QPoint topLeft, std::array<int, 4> bitmaps,
                                      const char* name, const char* accessibleName) {
  auto* button = new BitmapButton(bitmaps[0], bitmaps[1], bitmaps[2], bitmaps[3], this);
  button->setObjectName(QString::fromLatin1(name));
  button->setAccessibleName(QString::fromLatin1(accessibleName));
  button->move(topLeft);
  button->show();
  connect(button, &QAbstractButton::clicked, this, [this, command] { OnCommand(command); });
  return button;
}

UploadDialog::View UploadDialog::CurrentView() const {
  std::lock_guard<std::mutex> guard(viewLock);
  return view;
}

void UploadDialog::ChangeView(const std::function<void(View&)>& change) {
  {
    std::lock_guard<std::mutex> guard(viewLock);
    change(view);
  }
  RunOnGuiThread(this, [this] { update(); });
}

void UploadDialog::OnCommand(int id) {
  ExpectOwnThread(this);
  switch (id) {
    case SpeakerPanel::kNotification:
      firmwarePanel.BuildCatalog(speakerPanel.SelectedType());
      firmwarePanel.update();
      break;
    case FirmwarePanel::kNotification:
      firmwarePanel.update();
      break;
    case kUploadCommand:
      Upload();
      break;
    case kHelpCommand:
      Help();
      break;
    case kExitCommand:
      Exit();
      break;
    default:
      break;
  }
}

void UploadDialog::Upload() {
  std::string path;
  if (!firmwarePanel.GetSelectedFile(path)) {
    prompts.ShowMessage(strings::kNoFirmwareMessage);
    return;
  }
  if (!controller.StartUpload(path))
    prompts.ShowMessage(strings::kUploadRunningMessage);
}

void UploadDialog::Help() {
  ChangeView([](View& shown) { shown.box = NextHelpBox(shown.box); });
  ShowPanels();
}

void UploadDialog::Exit() {
  // The exit checks' message boxes let Escape or a second click arrive meanwhile.
  if (exiting)
    return;
  exiting = true;
  const bool mayEnd = RunExitSequence();
  exiting = false;
  if (mayEnd)
    done(0);
}

bool UploadDialog::RunExitSequence() {
  if (controller.Uploading()) {
    if (!prompts.AskYesNo(strings::kExitDuringUploadQuestion))
      return false;
    controller.ForgetUpload();
  }
  ChangeView([](View& shown) { shown.statusText = strings::kClosingStatus; });
  // The exit checks block this thread for seconds: show the status line before them.
  repaint(statusRect);
  if (controller.ConfirmExit())
    return true;
  ChangeView([](View& shown) { shown.statusText = strings::kIdleStatus; });
  return false;
}

void UploadDialog::reject() {
  Exit();
}

void UploadDialog::accept() {
  Exit();
}

void UploadDialog::ShowAbout() {
  AboutDialog about(this);
  about.exec();
}

void UploadDialog::SaveReport() {
  // What the box showed when the user asked, also when an upload ends meanwhile.
  std::string text;
  for (const std::string& line : ReportBoxLines(CurrentView().reportText))
    text += line + "\n";
  const QString path = QFileDialog::getSaveFileName(
      this, Text(strings::kSaveReportCaption),
      QDir::home().filePath(Text(strings::kReportFileName)), Text(strings::kReportFileFilter));
  if (path.isEmpty())
    return;
  // Written beside the file and renamed over it, so a failure never leaves half a report.
  QSaveFile file(path);
  const QByteArray bytes = QByteArray::fromStdString(text);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    prompts.ShowMessage(strings::kReportNotSavedMessage + path.toStdString() + ":\n" +
                        file.errorString().toStdString());
  }
}

void UploadDialog::ChooseFirmwareFolder() {
  const QString chosen = QFileDialog::getExistingDirectory(
      this, Text(strings::kFirmwareFolderCaption),
      QDir(QString::fromStdString(firmwarePanel.Folder())).absolutePath());
  if (chosen.isEmpty())
    return;
  const std::string folder = QDir::toNativeSeparators(chosen).toStdString();
  firmwarePanel.SetFolder(folder);
  Remember(controller.Settings(), kFolderValueName, folder);
  RebuildCatalog();
}

void UploadDialog::OpenFirmwareFolder() {
  const QString folder = QDir(QString::fromStdString(firmwarePanel.Folder())).absolutePath();
  if (!QDir().mkpath(folder) || !QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
    prompts.ShowMessage(strings::kFolderNotOpenedMessage + folder.toStdString());
}

void UploadDialog::ReceiveFirmwareFiles(const std::vector<std::string>& paths) {
  const DropOutcome outcome = CopyFirmwareFiles(paths, firmwarePanel.Folder());
  RebuildCatalog();
  prompts.ShowMessage(DropMessage(outcome));
}

void UploadDialog::RebuildCatalog() {
  // Until then the scan's result builds the list.
  if (CurrentView().searching)
    return;
  firmwarePanel.BuildCatalog(speakerPanel.SelectedType());
  firmwarePanel.update();
}

void UploadDialog::ApplyScanResult() {
  ExpectOwnThread(this);
  ChangeView([](View& shown) { shown.searching = false; });
  const std::int32_t total = speakerPanel.TotalSpeakers();
  if (total == 0) {
    firmwarePanel.SetEntryCount(0);
    return;
  }
  // Boot loaders go to one speaker at a time only.
  firmwarePanel.SetHideBootFiles(total > 1 ? 1 : 0);
  firmwarePanel.BuildCatalog(speakerPanel.SelectedType());
}

void UploadDialog::ShowPanels() {
  speakerPanel.SetShown(true);
  firmwarePanel.SetShown(true);
}

void UploadDialog::ScanFinished(const SpeakerNetwork& network) {
  speakerPanel.Fill(network);
  const bool unlisted = network.UnlistedSpeakerCount() > 0;
  // The catalog may show a message box, and two builds must never overlap.
  RunOnGuiThread(this, [this, unlisted] {
    ApplyScanResult();
    if (unlisted && !unlistedShown) {
      unlistedShown = true;
      prompts.ShowMessage(strings::kUnlistedSpeakersMessage);
    }
  });
}

void UploadDialog::UploadStarted() {
  ChangeView([](View& shown) {
    shown.statusText = strings::kUploadingStatus;
    // An open help page stays open during the upload.
    if (shown.box == BoxContent::kReport)
      shown.box = BoxContent::kNothing;
  });
  ShowPanels();
}

void UploadDialog::UploadFinished(bool complete, const std::string& report) {
  ChangeView([complete, &report](View& shown) {
    shown.statusText = complete ? strings::kCompleteStatus : strings::kErrorsStatus;
    shown.reportText = report;
    shown.box = BoxContent::kReport;
  });
  progress.ReportProgress(100);
  ShowPanels();
}

void UploadDialog::mousePressEvent(QMouseEvent* event) {
  // Child windows take their own presses: only the dialog's free surface starts a drag.
  if (event->button() == Qt::LeftButton)
    dragOrigin = event->position().toPoint();
  QDialog::mousePressEvent(event);
}

void UploadDialog::mouseMoveEvent(QMouseEvent* event) {
  // The window has no caption: it moves with the pointer, which stays over the same point.
  if (event->buttons() & Qt::LeftButton)
    move(pos() + event->position().toPoint() - dragOrigin);
  QDialog::mouseMoveEvent(event);
}

void UploadDialog::contextMenuEvent(QContextMenuEvent* event) {
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QAction* save = menu->addAction(Text(strings::kSaveReportItem), this, &UploadDialog::SaveReport);
  save->setEnabled(!CurrentView().reportText.empty());
  menu->addSeparator();
  menu->addAction(Text(strings::kFirmwareFolderItem), this, &UploadDialog::ChooseFirmwareFolder);
  menu->addAction(Text(strings::kOpenFirmwareFolderItem), this, &UploadDialog::OpenFirmwareFolder);
  AddPortMenu(*menu);
  menu->addSeparator();
  menu->addAction(Text(strings::kAboutItem), this, &UploadDialog::ShowAbout);
  menu->popup(event->globalPos());
}

void UploadDialog::AddPortMenu(QMenu& menu) {
  QMenu* ports = menu.addMenu(Text(strings::kSerialPortMenu));
  // Until the running search ends, another would only wait for it.
  ports->setEnabled(!CurrentView().searching);
  const std::optional<std::string>& current = controller.PinnedPort();
  const auto addChoice = [this, ports](const QString& text, std::optional<std::string> path,
                                       bool checked) {
    QAction* action = ports->addAction(text, this, [this, path] { ChoosePort(path); });
    action->setCheckable(true);
    action->setChecked(checked);
  };
  addChoice(Text(strings::kAutomaticPortItem), std::nullopt, !current);
  ports->addSeparator();
  const std::vector<platform::SerialDevice> devices = platform::DiscoverSerialPorts(
      controller.Serial(), SpeakerNetwork::kHighestPort, discoveryRoots);
  for (const platform::SerialDevice& device : devices) {
    QString text = QString::fromStdString(device.path);
    if (!device.product.empty())
      text += QStringLiteral("  ") + QString::fromStdString(device.product);
    addChoice(text, device.path, current == device.path);
  }
}

void UploadDialog::ChoosePort(const std::optional<std::string>& path) {
  ExpectOwnThread(this);
  if (controller.Uploading()) {
    prompts.ShowMessage(strings::kUploadRunningMessage);
    return;
  }
  ChangeView([](View& shown) { shown.searching = true; });
  if (!controller.SearchAgain(path)) {
    ChangeView([](View& shown) { shown.searching = false; });
    return;
  }
#ifndef _WIN32
  // Windows keeps only the numbered port.
  Remember(controller.Settings(), kPortPathValueName, path.value_or(""));
#endif
}

void UploadDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls())
    event->acceptProposedAction();
}

void UploadDialog::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile())
      paths.push_back(url.toLocalFile().toStdString());
  }
  if (paths.empty())
    return;
  event->acceptProposedAction();
  // The drag's source waits for the drop to end: the copies and their message come after.
  QMetaObject::invokeMethod(
      this, [this, paths] { ReceiveFirmwareFiles(paths); }, Qt::QueuedConnection);
}

void UploadDialog::paintEvent(QPaintEvent*) {
  const View shown = CurrentView();
  QPainter painter(this);
  painter.drawPixmap(0, 0, skin);
  painter.setPen(kText);
  DrawTextAt(painter, captionFont, 550, 96, strings::kSelectSpeakers);
  DrawTextAt(painter, captionFont, 550, 240, strings::kSelectSoftware);
  if (shown.searching) {
    DrawTextAt(painter, bodyFont, 550, 120, strings::kSearching);
    DrawTextAt(painter, bodyFont, 550, 144, strings::kSearchingLimit);
  }
  if (shown.box == BoxContent::kReport)
    PaintReport(painter, shown.reportText);
  else if (shown.box != BoxContent::kNothing)
    PaintHelpPage(painter, shown.box);
  painter.setPen(kText);
  DrawTextAt(painter, statusFont, statusRect.left(), statusRect.top(), shown.statusText.c_str());
}

void UploadDialog::PaintBox(QPainter& painter, int height) {
  // A black outline filled light grey, inside a light frame one pixel larger.
  painter.fillRect(QRect(kBoxLeft + 1, kBoxTop + 1, kBoxWidth - 2, height - 2), Qt::black);
  painter.fillRect(QRect(kBoxLeft + 2, kBoxTop + 2, kBoxWidth - 4, height - 4), kBoxFill);
  painter.setPen(kBoxFrame);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRect(kBoxLeft, kBoxTop, kBoxWidth - 1, height - 1));
  painter.setPen(kText);
}

void UploadDialog::PaintHelpPage(QPainter& painter, BoxContent page) {
  PaintBox(painter, kHelpBoxHeight);
  for (const HelpLine& line : HelpPageLines(page))
    DrawTextAt(painter, line.heading ? headingFont : bodyFont, kTextLeft, line.top, line.text);
}

void UploadDialog::PaintReport(QPainter& painter, const std::string& report) {
  const std::vector<std::string> lines = ReportBoxLines(report);
  // Lines below the window cannot be seen; the box is cut off at its edge.
  const auto visibleLines =
      static_cast<int>(std::min<std::size_t>(lines.size(), kClientHeight / kReportLineHeight + 1));
  const int height = lines.size() > static_cast<std::size_t>(visibleLines)
                         ? kClientHeight
                         : 40 + kReportLineHeight * visibleLines;
  PaintBox(painter, height);
  for (int j = 1; j <= visibleLines; ++j)
    DrawTextAt(painter, bodyFont, kTextLeft, kBoxTop + kReportLineHeight * j, lines[j - 1].c_str());
}

}  // namespace flashdesk
