// Compares the Win32 window's picture of a sample state (flashdesk-make-win32-screenshot under
// Wine) with the Qt window's picture of the same state. Every pixel that the window model
// covers with a bitmap or a fill, outside its texts, must be the same in both pictures and as
// the model says; every text line must begin and end within 2 pixels of the other window's.
//   flashdesk-compare-windows scanned|help|uploaded WIN32.bmp [QT.png]
// Prints a row per text line and exits 1 when the windows differ.

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "tools/SampleWindow.h"

namespace {

using namespace flashdesk;
using testing_support::PixelCanvas;
using window::UploadDialog;

constexpr int kTolerance = 2;

struct Extent {
  int left = -1;
  int right = -1;  // the last column that differs from the background
};

// The colour the model puts at each pixel outside its texts.
class Background {
 public:
  explicit Background(const PixelCanvas& canvas) : canvas(canvas) {}
  QRgb At(int x, int y) {
    const PixelCanvas::Pixel& pixel = canvas.At(x, y);
    if (!pixel.bitmap)
      return qRgb(pixel.colour.red, pixel.colour.green, pixel.colour.blue);
    QImage& bitmap = bitmaps[*pixel.bitmap];
    if (bitmap.isNull())
      bitmap.load(QStringLiteral(":/bitmaps/%1.png").arg(static_cast<int>(*pixel.bitmap)));
    return bitmap.pixel(pixel.bitmapX, pixel.bitmapY) | 0xFF000000u;
  }

 private:
  const PixelCanvas& canvas;
  std::map<window::BitmapId, QImage> bitmaps;
};

// Where a text's pixels lie in a picture: its band of rows, from its start to limit.
Extent Measure(const QImage& picture, Background& background, const PixelCanvas::Text& text,
               int limit) {
  Extent extent;
  const int height = window::SpecOf(text.font).height;
  for (int x = std::max(0, text.topLeft.x - 1); x < limit; ++x) {
    for (int y = text.topLeft.y; y < std::min(text.topLeft.y + height, picture.height()); ++y) {
      if ((picture.pixel(x, y) | 0xFF000000u) != background.At(x, y)) {
        if (extent.left < 0)
          extent.left = x;
        extent.right = x;
        break;
      }
    }
  }
  return extent;
}

// The column where the next text on rows this one shares begins; the window's width if none.
int LimitOf(const std::vector<PixelCanvas::Text>& texts, const PixelCanvas::Text& text) {
  int limit = UploadDialog::kClientWidth;
  const int height = window::SpecOf(text.font).height;
  for (const PixelCanvas::Text& other : texts) {
    const int otherHeight = window::SpecOf(other.font).height;
    const bool sharesRows =
        other.topLeft.y < text.topLeft.y + height && text.topLeft.y < other.topLeft.y + otherHeight;
    if (sharesRows && other.topLeft.x > text.topLeft.x)
      limit = std::min(limit, other.topLeft.x);
  }
  return limit;
}

QImage QtPicture(gui_testing::SampleWindow& window, testing_support::SampleState state) {
  testing_support::ApplySampleState(window.dialog.Model(), state);
  window.dialog.activateWindow();
  for (int i = 0; i < 100 && !window.dialog.isActiveWindow(); ++i)
    QApplication::processEvents();
  // Focus first: a button that loses the focus is let up.
  for (const bool pressing : {false, true}) {
    for (const window::ButtonSpec& spec : UploadDialog::kButtons) {
      auto* button = window.dialog.findChild<QAbstractButton*>(QString::fromLatin1(spec.name));
      if (pressing)
        button->setDown(testing_support::SampleButtonPressed(state, spec));
      else if (testing_support::SampleButtonFocused(state, spec))
        button->setFocus();
    }
  }
  QApplication::processEvents();
  return window.dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::optional<testing_support::SampleState> state =
      argc >= 3 ? testing_support::SampleStateNamed(argv[1]) : std::nullopt;
  if (!state || argc > 4) {
    std::fprintf(stderr, "usage: %s scanned|help|uploaded WIN32.bmp [QT.png]\n", argv[0]);
    return 2;
  }
  const QImage win32 =
      QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_RGB32);
  if (win32.size() != QSize(UploadDialog::kClientWidth, UploadDialog::kClientHeight)) {
    std::fprintf(stderr, "%s is no picture of the window\n", argv[2]);
    return 2;
  }
  gui_testing::SampleWindow window;
  const QImage qt = QtPicture(window, *state);
  if (argc == 4)
    qt.save(QString::fromLocal8Bit(argv[3]));

  // What the model draws, the buttons as both windows show them included.
  PixelCanvas model;
  {
    testing_support::ScannedSample sample;
    testing_support::ApplySampleState(sample.model, *state);
    sample.model.Paint(model);
    for (const window::ButtonSpec& button : UploadDialog::kButtons) {
      model.CopyBitmap(button.Shown(testing_support::SampleButtonPressed(*state, button),
                                    testing_support::SampleButtonFocused(*state, button), true),
                       button.bounds.TopLeft());
    }
  }
  Background background(model);

  std::vector<bool> inText(static_cast<std::size_t>(qt.width() * qt.height()), false);
  int departures = 0;
  std::printf("%-44s %9s %9s\n", "text", "Qt", "Win32");
  for (const PixelCanvas::Text& text : model.texts) {
    if (text.text.find_first_not_of(' ') == std::string::npos)
      continue;
    const int limit = LimitOf(model.texts, text);
    const Extent inQt = Measure(qt, background, text, limit);
    const Extent inWin32 = Measure(win32, background, text, limit);
    const bool apart = std::abs(inQt.left - inWin32.left) > kTolerance ||
                       std::abs(inQt.right - inWin32.right) > kTolerance;
    departures += apart;
    std::printf("%-44.44s %4d-%-4d %4d-%-4d%s\n", text.text.c_str(), inQt.left, inQt.right,
                inWin32.left, inWin32.right, apart ? "  APART" : "");
    const int height = window::SpecOf(text.font).height;
    for (int y = std::max(0, text.topLeft.y - 2);
         y < std::min(qt.height(), text.topLeft.y + height + 2); ++y) {
      for (int x = std::max(0, std::min(inQt.left, inWin32.left) - 2);
           x <= std::min(qt.width() - 1, std::max(inQt.right, inWin32.right) + 2); ++x)
        inText[static_cast<std::size_t>(y * qt.width() + x)] = true;
    }
  }
  int qtDiffers = 0;
  int win32Differs = 0;
  for (int y = 0; y < qt.height(); ++y) {
    for (int x = 0; x < qt.width(); ++x) {
      if (inText[static_cast<std::size_t>(y * qt.width() + x)])
        continue;
      const QRgb expected = background.At(x, y);
      qtDiffers += (qt.pixel(x, y) | 0xFF000000u) != expected;
      win32Differs += (win32.pixel(x, y) | 0xFF000000u) != expected;
    }
  }
  std::printf("pixels outside the texts unlike the model: Qt %d, Win32 %d\n", qtDiffers,
              win32Differs);
  std::printf("text lines more than %d px apart: %d of %zu\n", kTolerance, departures,
              model.texts.size());
  return qtDiffers == 0 && win32Differs == 0 && departures == 0 ? 0 : 1;
}
