#include "win32/MainWindow.h"

#include <windowsx.h>

#include <cstdlib>

#include "resources/Strings.h"
#include "win32/ShellCalls.h"
#include "win32/WideText.h"

namespace flashdesk::win32 {
namespace {

using window::UploadDialog;

// Posted to the window when work from another thread waits; the message carries nothing.
constexpr UINT kRunPosted = WM_APP + 1;

window::Point PointOf(LPARAM lParam) {
  return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

RECT RectOf(const window::Rect& area) {
  return {area.left, area.top, area.Right(), area.Bottom()};
}

HMENU MenuOf(const std::vector<window::MenuItem>& items) {
  const HMENU menu = CreatePopupMenu();
  for (const window::MenuItem& item : items) {
    const UINT state = (item.enabled ? MF_ENABLED : MF_GRAYED) | (item.checked ? MF_CHECKED : 0);
    if (!item.items.empty()) {
      AppendMenuW(menu, MF_POPUP | state, reinterpret_cast<UINT_PTR>(MenuOf(item.items)),
                  Wide(item.text).c_str());
    } else if (item.id == 0) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(menu, MF_STRING | state, static_cast<UINT_PTR>(item.id), Wide(item.text).c_str());
    }
  }
  return menu;
}

INT_PTR CALLBACK AboutProcedure(HWND about, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextW(about, Wide(strings::kAboutCaption).c_str());
      SetDlgItemTextW(about, MainWindow::kAboutVersionText, Wide(strings::kAboutVersion).c_str());
      SetDlgItemTextW(about, MainWindow::kAboutLineText, Wide(strings::kAboutLine).c_str());
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(about, LOWORD(wParam));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

int CALLBACK StartBrowsingAt(HWND browser, UINT message, LPARAM, LPARAM start) {
  if (message == BFFM_INITIALIZED)
    SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, start);
  return 0;
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, const EngineServices& services)
    : instance(instance), resources(instance), model(services, *this) {}

MainWindow::~MainWindow() {
  if (frame != nullptr) {
    SelectObject(frame, firstFrameBitmap);
    DeleteObject(frameBitmap);
    DeleteDC(frame);
    DeleteDC(scratch);
  }
}

int MainWindow::Run() {
  DialogBoxParamW(instance, MAKEINTRESOURCEW(kDialogTemplate), nullptr, Procedure,
                  reinterpret_cast<LPARAM>(this));
  return 0;
}

INT_PTR CALLBACK MainWindow::Procedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<MainWindow*>(lParam);
    SetWindowLongPtrW(handle, DWLP_USER, lParam);
    self->window = handle;
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(handle, DWLP_USER));
  return self != nullptr ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Initialise();
      return TRUE;
    case WM_ERASEBKGND:
      return TRUE;  // every paint covers the whole window
    case WM_PAINT:
      Paint();
      return TRUE;
    case WM_DRAWITEM:
      DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_MOUSEMOVE:
      model.MouseMove(PointOf(lParam), (wParam & MK_LBUTTON) != 0);
      return TRUE;
    case WM_LBUTTONDOWN:
      model.MousePress(PointOf(lParam));
      return TRUE;
    case WM_CONTEXTMENU: {
      POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ScreenToClient(window, &at);
      model.RequestMenu({at.x, at.y});
      return TRUE;
    }
    case WM_DROPFILES:
      ReceiveDrop(reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == UploadDialog::kAboutCommand) {
        model.OnCommand(UploadDialog::kAboutCommand);
        return TRUE;
      }
      return FALSE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      // Escape and Enter reach a dialog as Cancel and OK: both run the exit sequence.
      if (id == IDOK || id == IDCANCEL) {
        model.RequestExit();
      } else if (id >= kFirstButtonId &&
                 id < kFirstButtonId + static_cast<int>(UploadDialog::kButtons.size()) &&
                 HIWORD(wParam) == BN_CLICKED) {
        model.OnCommand(
            UploadDialog::kButtons[static_cast<std::size_t>(id - kFirstButtonId)].command);
      }
      return TRUE;
    }
    case WM_CLOSE:
      model.RequestExit();
      return TRUE;
    case kRunPosted:
      RunPosted();
      return TRUE;
    default:
      return FALSE;
  }
}

void MainWindow::Initialise() {
  if (const HMENU system = GetSystemMenu(window, FALSE)) {
    AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(system, MF_STRING, UploadDialog::kAboutCommand, Wide(strings::kAboutItem).c_str());
  }
  const HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(128));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  SetWindowTextW(window, Wide(strings::kProgramName).c_str());
  const HDC screen = GetDC(window);
  const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
  const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
  frame = CreateCompatibleDC(screen);
  scratch = CreateCompatibleDC(screen);
  frameBitmap =
      CreateCompatibleBitmap(screen, UploadDialog::kClientWidth, UploadDialog::kClientHeight);
  firstFrameBitmap = SelectObject(frame, frameBitmap);
  ReleaseDC(window, screen);
  if (!model.Initialise(dpiX, dpiY))
    return;
  HWND upload = nullptr;
  for (std::size_t i = 0; i < UploadDialog::kButtons.size(); ++i) {
    const window::ButtonSpec& spec = UploadDialog::kButtons[i];
    // The bitmaps carry the labels; screen readers get the words.
    const HWND button = CreateWindowExW(
        0, L"BUTTON", Wide(spec.accessibleName).c_str(),
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, spec.bounds.left, spec.bounds.top,
        spec.bounds.width, spec.bounds.height, window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstButtonId + static_cast<int>(i))),
        instance, nullptr);
    if (i == 0) {
      upload = button;
      // The template centred the window; it keeps its place at exactly the skin's size.
      SetWindowPos(window, HWND_TOP, 0, 0, UploadDialog::kClientWidth, UploadDialog::kClientHeight,
                   SWP_NOMOVE);
    }
  }
  SetFocus(upload);
  model.StartScan();
}

void MainWindow::Paint() {
  PAINTSTRUCT paint;
  const HDC target = BeginPaint(window, &paint);
  {
    GdiCanvas canvas(frame, scratch, resources);
    model.Paint(canvas);
  }
  const RECT& area = paint.rcPaint;
  BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, frame,
         area.left, area.top, SRCCOPY);
  EndPaint(window, &paint);
}

void MainWindow::DrawButton(const DRAWITEMSTRUCT& item) {
  const int index = static_cast<int>(item.CtlID) - kFirstButtonId;
  if (index < 0 || index >= static_cast<int>(UploadDialog::kButtons.size()))
    return;
  const window::ButtonSpec& spec = UploadDialog::kButtons[static_cast<std::size_t>(index)];
  const window::BitmapId shown =
      spec.Shown((item.itemState & ODS_SELECTED) != 0, (item.itemState & ODS_FOCUS) != 0,
                 (item.itemState & ODS_DISABLED) == 0);
  const HGDIOBJ before = SelectObject(scratch, resources.Bitmap(shown));
  BitBlt(item.hDC, 0, 0, spec.bounds.width, spec.bounds.height, scratch, 0, 0, SRCCOPY);
  SelectObject(scratch, before);
}

void MainWindow::ReceiveDrop(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = shell::DragQueryFile(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(shell::DragQueryFile(drop, i, nullptr, 0) + 1, L'\0');
    path.resize(shell::DragQueryFile(drop, i, path.data(), static_cast<UINT>(path.size())));
    paths.push_back(Narrow(path));
  }
  shell::DragFinish(drop);
  if (!paths.empty())
    Post([this, paths] { model.DropFiles(paths); });
}

void MainWindow::Post(std::function<void()> work) {
  {
    std::lock_guard<std::mutex> guard(postedLock);
    posted.push_back(std::move(work));
  }
  // Never SendMessage: the window's thread may itself be waiting for the engine.
  PostMessageW(window, kRunPosted, 0, 0);
}

void MainWindow::RunPosted() {
  std::deque<std::function<void()>> due;
  {
    std::lock_guard<std::mutex> guard(postedLock);
    due.swap(posted);
  }
  for (const std::function<void()>& work : due)
    work();
}

void MainWindow::Invalidate(const window::Rect& area) {
  const RECT rect = RectOf(area);
  InvalidateRect(window, &rect, FALSE);
}

void MainWindow::PaintNow(const window::Rect& area) {
  const RECT rect = RectOf(area);
  RedrawWindow(window, &rect, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void MainWindow::MoveWindowBy(window::Point offset) {
  RECT placed;
  GetWindowRect(window, &placed);
  SetWindowPos(window, nullptr, placed.left + offset.x, placed.top + offset.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::RequestClose() {
  PostMessageW(window, WM_CLOSE, 0, 0);
}

void MainWindow::EndWindow(int result) {
  EndDialog(window, result);
}

void MainWindow::ShowContextMenu(window::Point at, const std::vector<window::MenuItem>& items) {
  POINT screen{at.x, at.y};
  ClientToScreen(window, &screen);
  const HMENU menu = MenuOf(items);
  const int chosen =
      static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                      screen.x, screen.y, 0, window, nullptr));
  DestroyMenu(menu);
  if (chosen != 0)
    Post([this, chosen] { model.ChooseMenuItem(chosen); });
}

std::optional<std::string> MainWindow::ChooseReportFile(const std::string& fileName) {
  std::wstring path = Wide(fileName);
  path.resize(MAX_PATH * 4, L'\0');
  const wchar_t* home = _wgetenv(L"USERPROFILE");
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window;
  dialog.lpstrFilter = L"Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrInitialDir = home;
  dialog.lpstrTitle = L"Save Report";
  dialog.lpstrDefExt = L"txt";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (!shell::GetSaveFileName(&dialog))
    return std::nullopt;
  return Narrow(path.c_str());
}

std::optional<std::string> MainWindow::ChooseFolder(const std::string& start) {
  const std::wstring title = Wide(strings::kFirmwareFolderCaption);
  const std::wstring first = Wide(start);
  BROWSEINFOW browse{};
  browse.hwndOwner = window;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  browse.lpfn = StartBrowsingAt;
  browse.lParam = reinterpret_cast<LPARAM>(first.c_str());
  PIDLIST_ABSOLUTE chosen = shell::BrowseForFolder(&browse);
  if (chosen == nullptr)
    return std::nullopt;
  wchar_t path[MAX_PATH] = {};
  const bool named = shell::PathFromIdList(chosen, path) != FALSE;
  shell::FreeIdList(chosen);
  return named ? std::optional<std::string>(Narrow(path)) : std::nullopt;
}

bool MainWindow::OpenFolder(const std::string& folder) {
  const auto result = reinterpret_cast<INT_PTR>(
      shell::Execute(window, L"open", Wide(folder).c_str(), SW_SHOWNORMAL));
  return result > 32;
}

void MainWindow::ShowAbout() {
  DialogBoxParamW(instance, MAKEINTRESOURCEW(kAboutTemplate), window, AboutProcedure, 0);
}

}  // namespace flashdesk::win32
