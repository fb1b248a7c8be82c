#include "app/MainDialog.h"

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
#include <QScreen>
#include <QUrl>

#include "app/AboutDialog.h"
#include "resources/Strings.h"

namespace flashdesk {
namespace {

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

QRect ToQt(const window::Rect& rect) {
  return QRect(rect.left, rect.top, rect.width, rect.height);
}

window::Point FromQt(const QPointF& point) {
  const QPoint whole = point.toPoint();
  return {whole.x(), whole.y()};
}

void AddItems(QMenu& menu, const std::vector<window::MenuItem>& items,
              window::UploadDialog& model) {
  for (const window::MenuItem& item : items) {
    if (!item.items.empty()) {
      QMenu* submenu = menu.addMenu(Text(item.text));
      submenu->setEnabled(item.enabled);
      AddItems(*submenu, item.items, model);
    } else if (item.id == 0) {
      menu.addSeparator();
    } else {
      const int id = item.id;
      QAction* action =
          menu.addAction(Text(item.text), &menu, [&model, id] { model.ChooseMenuItem(id); });
      action->setEnabled(item.enabled);
      action->setCheckable(item.checkable);
      action->setChecked(item.checked);
    }
  }
}

}  // namespace

MainDialog::MainDialog(const EngineServices& services, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint), model(services, *this) {
  using window::UploadDialog;
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setAcceptDrops(true);
  setWindowTitle(QString::fromLatin1(strings::kProgramName));
  setWindowIcon(QIcon(QStringLiteral(":/bitmaps/128.png")));
  setFixedSize(UploadDialog::kClientWidth, UploadDialog::kClientHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  if (!model.Initialise(logicalDpiX(), logicalDpiY()))
    return;
  for (const window::ButtonSpec& spec : UploadDialog::kButtons) {
    auto* button = new BitmapButton(spec, resources, this);
    const int command = spec.command;
    connect(button, &QAbstractButton::clicked, this, [this, command] { model.OnCommand(command); });
    if (spec.command == UploadDialog::kUploadCommand)
      button->setFocus();
  }
}

MainDialog::~MainDialog() = default;

int MainDialog::exec() {
  model.StartScan();
  return QDialog::exec();
}

void MainDialog::reject() {
  model.RequestExit();
}

void MainDialog::accept() {
  model.RequestExit();
}

void MainDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QtCanvas canvas(painter, resources);
  model.Paint(canvas);
}

void MainDialog::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    model.MousePress(FromQt(event->position()));
  QDialog::mousePressEvent(event);
}

void MainDialog::mouseMoveEvent(QMouseEvent* event) {
  model.MouseMove(FromQt(event->position()), (event->buttons() & Qt::LeftButton) != 0);
  QDialog::mouseMoveEvent(event);
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  model.RequestMenu(FromQt(event->pos()));
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls())
    event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile())
      paths.push_back(url.toLocalFile().toStdString());
  }
  if (paths.empty())
    return;
  event->acceptProposedAction();
  // The drag's source waits for the drop to end: the copies and their message come after.
  Post([this, paths] { model.DropFiles(paths); });
}

void MainDialog::Post(std::function<void()> work) {
  // Queued even on the window's own thread, so no caller ever waits for the work; dropped
  // with the dialog.
  QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void MainDialog::Invalidate(const window::Rect& area) {
  update(ToQt(area));
}

void MainDialog::PaintNow(const window::Rect& area) {
  repaint(ToQt(area));
}

void MainDialog::MoveWindowBy(window::Point offset) {
  move(pos() + QPoint(offset.x, offset.y));
}

void MainDialog::RequestClose() {
  QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void MainDialog::EndWindow(int result) {
  done(result);
}

void MainDialog::ShowContextMenu(window::Point at, const std::vector<window::MenuItem>& items) {
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  AddItems(*menu, items, model);
  menu->popup(mapToGlobal(QPoint(at.x, at.y)));
}

std::optional<std::string> MainDialog::ChooseReportFile(const std::string& fileName) {
  const QString path = QFileDialog::getSaveFileName(
      this, QString::fromLatin1(strings::kSaveReportCaption), QDir::home().filePath(Text(fileName)),
      QString::fromLatin1(strings::kReportFileFilter));
  if (path.isEmpty())
    return std::nullopt;
  return path.toStdString();
}

std::optional<std::string> MainDialog::ChooseFolder(const std::string& start) {
  const QString chosen = QFileDialog::getExistingDirectory(
      this, QString::fromLatin1(strings::kFirmwareFolderCaption), Text(start));
  if (chosen.isEmpty())
    return std::nullopt;
  return QDir::toNativeSeparators(chosen).toStdString();
}

bool MainDialog::OpenFolder(const std::string& folder) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(Text(folder)));
}

void MainDialog::ShowAbout() {
  AboutDialog about(this);
  about.exec();
}

}  // namespace flashdesk
