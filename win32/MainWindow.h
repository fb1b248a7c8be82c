#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "win32/GdiCanvas.h"
#include "window/FrontEnd.h"
#include "window/UploadDialog.h"

namespace flashdesk::win32 {

// The main window in Win32: dialog template 102 (a borderless pop-up, made exactly 800 x 529
// client pixels) that paints the window model through GDI and hands it the pointer, keys,
// menus and dropped files; its four owner-drawn bitmap buttons draw what the model names.
// Every rule lives in the model.
class MainWindow : private window::FrontEnd {
 public:
  // The dialog template and child identifiers in the program's resources.
  static constexpr int kDialogTemplate = 102;
  static constexpr int kAboutTemplate = 100;
  static constexpr int kAboutVersionText = 1001;
  static constexpr int kAboutLineText = 1002;
  static constexpr int kFirstButtonId = 1100;

  // services outlive the window; their prompts also carry the window's own messages.
  MainWindow(HINSTANCE instance, const EngineServices& services);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;
  ~MainWindow();

  // Shows the window modally, with the start-up scan, until the exit sequence ends it.
  int Run();

 private:
  static INT_PTR CALLBACK Procedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Initialise();
  void Paint();
  void DrawButton(const DRAWITEMSTRUCT& item);
  void ReceiveDrop(HDROP drop);
  void RunPosted();

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

  HINSTANCE instance;
  HWND window = nullptr;
  GdiResources resources;
  // The frame is drawn here and copied to the screen whole, so it never flickers.
  HDC frame = nullptr;
  HDC scratch = nullptr;
  HBITMAP frameBitmap = nullptr;
  HGDIOBJ firstFrameBitmap = nullptr;
  std::mutex postedLock;
  std::deque<std::function<void()>> posted;
  // Last, so that it is destroyed first: its threads post to the window.
  window::UploadDialog model;
};

}  // namespace flashdesk::win32
