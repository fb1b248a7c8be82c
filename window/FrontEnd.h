#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "window/Canvas.h"

namespace flashdesk::window {

// One item of the right-click menu: a command, a separator (id 0 and no text) or a submenu
// (items not empty).
struct MenuItem {
  int id = 0;
  std::string text;
  bool enabled = true;
  bool checkable = false;
  bool checked = false;
  std::vector<MenuItem> items;

  static MenuItem Command(int id, std::string text, bool enabled = true) {
    return {id, std::move(text), enabled, false, false, {}};
  }
  // One of a group of choices, checked when it is the one in force.
  static MenuItem Choice(int id, std::string text, bool checked) {
    return {id, std::move(text), true, true, checked, {}};
  }
  static MenuItem Separator() { return {}; }
  static MenuItem Submenu(std::string text, bool enabled, std::vector<MenuItem> items) {
    return {0, std::move(text), enabled, false, false, std::move(items)};
  }
};

// What only a toolkit can do for the window model. Called on the window's thread, except Post.
class FrontEnd {
 public:
  // Runs work on the window's thread soon, never after the window is gone. Any thread; never
  // waits, since the window's thread may itself be waiting for the engine.
  virtual void Post(std::function<void()> work) = 0;
  // Repaints area soon, and at once: before returning.
  virtual void Invalidate(const Rect& area) = 0;
  virtual void PaintNow(const Rect& area) = 0;
  virtual void MoveWindowBy(Point offset) = 0;
  // Sends the window a close request, which comes back as UploadDialog::RequestExit.
  virtual void RequestClose() = 0;
  // Ends the window with result.
  virtual void EndWindow(int result) = 0;
  // Shows the menu at a client point; a chosen item comes back as UploadDialog::ChooseMenuItem.
  virtual void ShowContextMenu(Point at, const std::vector<MenuItem>& items) = 0;
  // The file the report is to be saved to, suggested by name in the user's home folder;
  // nullopt when the user cancels.
  virtual std::optional<std::string> ChooseReportFile(const std::string& fileName) = 0;
  // A folder chosen starting at start; nullopt when the user cancels.
  virtual std::optional<std::string> ChooseFolder(const std::string& start) = 0;
  // Opens the folder in the file manager; false when it could not.
  virtual bool OpenFolder(const std::string& folder) = 0;
  // The About box, until it is closed.
  virtual void ShowAbout() = 0;

 protected:
  ~FrontEnd() = default;
};

}  // namespace flashdesk::window
