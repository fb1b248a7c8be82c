#include "app/UploadDialog.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMetaObject>
#include <QMouseEvent>
#include <QScreen>
#include <algorithm>

#include "app/AboutDialog.h"
#include "app/DialogText.h"
#include "app/WorkerThreads.h"
#include "panels/GuiThread.h"
#include "panels/PixelFont.h"
#include "resources/Strings.h"

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

void DrawTextAt(QPainter& painter, const QFont& font, int x, int top, const QString& text) {
  painter.setFont(font);
  painter.drawText(x, top + TextTopToBaseline(font), text);
}

}  // namespace

UploadDialog::UploadDialog(const EngineServices& services, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint),
      speakerPanel(services, this),
      firmwarePanel(services.prompts, this),
      progress(this),
      prompts(services.prompts),
      skin(QStringLiteral(":/bitmaps/130.png")),
      captionFont(PixelFont(20, 10, 700)),
      headingFont(PixelFont(18, 9, 700)),
      bodyFont(PixelFont(15, 7, 400)),
      statusFont(PixelFont(15, 7, 400)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setWindowTitle(QStringLiteral("FlashDesk"));
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
  initialised = Initialise();
}

UploadDialog::~UploadDialog() {
  speakerPanel.network.RequestAbort();
  if (uploadThread.joinable())
    uploadThread.join();
  // A scan cannot be stopped; the window's thread waits for it as the exit checks would.
  if (scanThread.joinable())
    scanThread.join();
}

int UploadDialog::exec() {
  StartScan();
  return QDialog::exec();
}

void UploadDialog::StartScan() {
  if (!initialised || scanStarted)
    return;
  scanStarted = true;
  scanRunning = true;
  scanThread = std::thread([this] {
    ScanThread(*this);
    scanRunning = false;
  });
}

bool UploadDialog::Initialise() {
  if (logicalDpiX() != kRequiredDpi || logicalDpiY() != kRequiredDpi) {
    // The skin is laid out in fixed pixels and cannot follow other resolutions.
    prompts.ShowMessage(kDpiMessage);
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    return false;
  }
  uploadButton = AddButton(kUploadCommand, {653, 410}, 132, 133, 132, 133);
  exitButton = AddButton(kExitCommand, {726, 490}, 134, 134, 134, 134);
  closeButton = AddButton(kExitCommand, {780, 5}, 158, 159, 159, 158);
  helpButton = AddButton(kHelpCommand, {700, 9}, 135, 135, 135, 135);
  // The bitmaps carry the labels; screen readers get the words.
  uploadButton->setAccessibleName(QString::fromLatin1(strings::kUpload));
  exitButton->setAccessibleName(QString::fromLatin1(strings::kExit));
  closeButton->setAccessibleName(QString::fromLatin1(strings::kExit));
  helpButton->setAccessibleName(QString::fromLatin1(strings::kHelp));
  progress.setAccessibleName(QString::fromLatin1(strings::kProgress));
  uploadButton->setFocus();

  progress.Create(QRect(QPoint(196, 410), QPoint(638, 445)));
  progress.SetRange(0, 100);
  SetActiveProgressBar(&progress);
  speakerPanel.network.SetProgressTarget(&progress);

  speakerPanel.setGeometry(QRect(QPoint(550, 120), QPoint(849, 219)));
  speakerPanel.show();
  firmwarePanel.setGeometry(QRect(QPoint(550, 268), QPoint(849, 367)));
  firmwarePanel.show();
  return true;
}

BitmapButton* UploadDialog::AddButton(int command, QPoint topLeft, int normal, int pressed,
                                      int focused, int disabled) {
  auto* button = new BitmapButton(normal, pressed, focused, disabled, this);
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

void UploadDialog::ApplyScanResult() {
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

void UploadDialog::Upload() {
  if (!firmwarePanel.GetSelectedFile(selectedFile)) {
    prompts.ShowMessage(kNoFirmwareMessage);
    return;
  }
  // A thread stopped by a refused exit may still be finishing its report: one at a time.
  if (uploading || uploadRunning) {
    prompts.ShowMessage(kUploadRunningMessage);
    return;
  }
  if (uploadThread.joinable())
    uploadThread.join();
  uploading = true;
  uploadRunning = true;
  uploadThread = std::thread([this] {
    UploadThread(*this);
    uploadRunning = false;
  });
}

void UploadDialog::Help() {
  ChangeView([](View& shown) {
    if (!shown.helpShown) {
      shown.helpShown = true;
      shown.helpPage = 0;
    } else if (++shown.helpPage >= kHelpPages) {
      shown.helpShown = false;
    }
    shown.reportShown = false;
  });
  speakerPanel.SetShown(true);
  firmwarePanel.SetShown(true);
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
  if (uploading) {
    if (!prompts.AskYesNo(kExitDuringUploadQuestion))
      return false;
    uploading = false;
  }
  ChangeView([](View& shown) { shown.statusText = kClosingStatus; });
  // The exit checks block this thread for seconds: show the status line before them.
  repaint(statusRect);
  // After letting go of the engine the scan still lists the models from the speaker table,
  // which the exit checks rewrite: they wait for the whole scan.
  if (scanThread.joinable())
    scanThread.join();
  if (speakerPanel.network.ConfirmExit())
    return true;
  ChangeView([](View& shown) { shown.statusText = kIdleStatus; });
  return false;
}

void UploadDialog::reject() {
  Exit();
}

void UploadDialog::accept() {
  Exit();
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

QMenu* UploadDialog::CreateContextMenu() {
  auto* menu = new QMenu(this);
  menu->addAction(QString::fromLatin1(strings::kAboutItem), this, [this] {
    AboutDialog about(this);
    about.exec();
  });
  return menu;
}

void UploadDialog::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = CreateContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void UploadDialog::paintEvent(QPaintEvent*) {
  const View shown = CurrentView();
  QPainter painter(this);
  painter.drawPixmap(0, 0, skin);
  painter.setPen(kText);
  DrawTextAt(painter, captionFont, 550, 96, QStringLiteral("Select Speakers"));
  DrawTextAt(painter, captionFont, 550, 240, QStringLiteral("Select Software"));
  if (shown.searching) {
    DrawTextAt(painter, bodyFont, 550, 120, QStringLiteral("Searching... Please Wait"));
    DrawTextAt(painter, bodyFont, 550, 144, QStringLiteral("Shouldn't be more than a minute"));
  }
  if (shown.helpShown && !shown.reportShown)
    PaintHelpPage(painter, shown.helpPage);
  if (shown.reportShown && !shown.helpShown)
    PaintReport(painter, shown.reportText);
  painter.setPen(kText);
  DrawTextAt(painter, statusFont, statusRect.left(), statusRect.top(),
             QString::fromStdString(shown.statusText));
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

void UploadDialog::PaintHelpPage(QPainter& painter, std::int32_t page) {
  PaintBox(painter, kHelpBoxHeight);
  for (const HelpLine& line : HelpPageLines(page)) {
    DrawTextAt(painter, line.heading ? headingFont : bodyFont, kTextLeft, line.top,
               QString::fromLatin1(line.text));
  }
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
  for (int j = 1; j <= visibleLines; ++j) {
    DrawTextAt(painter, bodyFont, kTextLeft, kBoxTop + kReportLineHeight * j,
               QString::fromStdString(lines[j - 1]));
  }
}

}  // namespace flashdesk
