#pragma once

#include <QDialog>
#include <vector>

#include "app/BitmapButton.h"
#include "app/QtCanvas.h"
#include "window/FrontEnd.h"
#include "window/UploadDialog.h"

namespace flashdesk {

// The main window in Qt: a frameless 800 x 529 dialog that paints the window model and hands
// it the pointer, keys, menu choices and dropped files. The buttons are BitmapButtons found
// by their names ("upload", "exit", "close", "help"). Every rule lives in the model.
class MainDialog : public QDialog, private window::FrontEnd {
  Q_OBJECT

 public:
  // services outlive the dialog; their prompts also carry the window's own messages.
  explicit MainDialog(const EngineServices& services, QWidget* parent = nullptr);
  ~MainDialog() override;

  // Starts the start-up scan and runs the window until the exit sequence ends it.
  int exec() override;
  // Escape, the close request and every other way of ending the window run the exit sequence.
  void reject() override;
  void accept() override;

  window::UploadDialog& Model() { return model; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // What the model asks of the toolkit.
  void Post(std::function<void()> work) override;
  void Invalidate(const window::Rect& area) override;
  void PaintNow(const window::Rect& area) override;
  void MoveWindowBy(window::Point offset) override;
  void RequestClose() override;
  void EndWindow(int result) override;
  void ShowContextMenu(window::Point at, const std::vector<window::MenuItem>& items) override;
  std::optional<std::string> ChooseReportFile(const std::string& fileName) override;
  std::optional<std::string> ChooseFolder(const std::string& start) override;
  bool OpenFolder(const std::string& folder) override;
  void ShowAbout() override;

  QtResources resources;
  // Last, so that it is destroyed first: its threads post to the dialog.
  window::UploadDialog model;
};

}  // namespace flashdesk
