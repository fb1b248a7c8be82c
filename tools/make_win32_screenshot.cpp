// Renders the Win32 window of the sample in one of its states (scanned, help, uploaded), through
// the same GDI drawing as the program, and saves it as a 24-bit BMP:
//   flashdesk-make-win32-screenshot STATE OUTPUT.bmp
// The Qt window's picture of the same state comes from flashdesk-make-screenshot; the two are
// compared by flashdesk-compare-windows.

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "testing/SampleWindow.h"
#include "win32/GdiCanvas.h"

namespace {

using flashdesk::window::UploadDialog;

bool SaveBitmap(HDC frame, HBITMAP bitmap, const char* path) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = UploadDialog::kClientWidth;
  header.biHeight = UploadDialog::kClientHeight;  // bottom-up, as BMP files store rows
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(header.biWidth) * 3 + 3) & ~3u;
  std::vector<char> pixels(stride * static_cast<DWORD>(header.biHeight));
  if (GetDIBits(frame, bitmap, 0, static_cast<UINT>(header.biHeight), pixels.data(),
                reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS) == 0)
    return false;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace flashdesk;
  const std::optional<testing_support::SampleState> state =
      argc == 3 ? testing_support::SampleStateNamed(argv[1]) : std::nullopt;
  if (!state) {
    std::fprintf(stderr, "usage: %s scanned|help|uploaded OUTPUT.bmp\n", argv[0]);
    return 2;
  }
  testing_support::ScannedSample sample;
  testing_support::ApplySampleState(sample.model, *state);
  const HDC screen = GetDC(nullptr);
  const HDC frame = CreateCompatibleDC(screen);
  const HDC scratch = CreateCompatibleDC(screen);
  const HBITMAP bitmap =
      CreateCompatibleBitmap(screen, UploadDialog::kClientWidth, UploadDialog::kClientHeight);
  ReleaseDC(nullptr, screen);
  const HGDIOBJ first = SelectObject(frame, bitmap);
  win32::GdiResources resources(GetModuleHandleW(nullptr));
  {
    win32::GdiCanvas canvas(frame, scratch, resources);
    sample.model.Paint(canvas);
    for (const window::ButtonSpec& button : UploadDialog::kButtons) {
      canvas.CopyBitmap(button.Shown(testing_support::SampleButtonPressed(*state, button),
                                     testing_support::SampleButtonFocused(*state, button), true),
                        button.bounds.TopLeft());
    }
  }
  SelectObject(frame, first);
  const bool saved = SaveBitmap(frame, bitmap, argv[2]);
  DeleteObject(bitmap);
  DeleteDC(frame);
  DeleteDC(scratch);
  if (!saved) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
