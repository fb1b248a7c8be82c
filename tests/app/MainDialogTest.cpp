// The Qt window as an adapter: it draws what the window model paints, pixel for pixel, and
// hands the model its buttons, keys, menu and drops.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <thread>

#include "app/GdiText.h"
#include "app/MainDialog.h"
#include "sim/FirmwareImage.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/window/WindowRig.h"

namespace flashdesk {
namespace {

using window::BitmapId;
using window::UploadDialog;

// The window over simulated speakers after its start-up scan, in a folder with the sample
// firmware.
struct QtWindow {
  explicit QtWindow(const std::vector<sim::SpeakerConfig>& speakers) {
    for (const sim::SpeakerConfig& speaker : speakers)
      setup.bus.AddSpeaker(speaker);
    std::string error;
    EXPECT_TRUE(sim::WriteSampleFirmware(FirmwareCatalog::kFolderName, error)) << error;
    dialog.show();
    dialog.Model().StartScan();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !dialog.Model().CurrentView().searching; },
                                testing_support::kPatienceMs));
  }
  QWidget* Button(const char* name) {
    return dialog.findChild<QWidget*>(QString::fromLatin1(name));
  }
  QImage Picture() {
    QApplication::processEvents();
    return gui_testing::Snapshot(dialog);
  }

  testing_support::FirmwareFolder folder;
  testing_support::SimulatedSetup setup;
  MainDialog dialog{setup.Services()};
};

struct MainDialogTest : ::testing::Test {
  static void SetUpTestSuite() { gui_testing::EnsureApplication(); }
  static sim::SpeakerConfig Complete(std::uint32_t serial, std::uint8_t type = 3) {
    return testing_support::SimulatedSetup::CompleteSpeaker(type, serial);
  }
};

QColor ToQt(window::Colour colour) {
  return QColor(colour.red, colour.green, colour.blue);
}

// Every pixel the model filled or copied a bitmap to, outside its texts and the buttons,
// compared with what Qt drew there; the number that differ.
int PixelsUnlikeTheModel(QtWindow& window) {
  window_testing::PixelCanvas model;
  window.dialog.Model().Paint(model);
  const QImage drawn = window.Picture();
  std::vector<bool> compared(static_cast<std::size_t>(drawn.width() * drawn.height()), true);
  const auto skip = [&compared, &drawn](const QRect& area) {
    const QRect inside = area & drawn.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
      for (int x = inside.left(); x <= inside.right(); ++x)
        compared[static_cast<std::size_t>(y * drawn.width() + x)] = false;
    }
  };
  for (const auto& text : model.texts) {
    const window::FontSpec spec = window::SpecOf(text.font);
    const GdiText laidOut(spec.height, spec.width, spec.weight);
    skip(QRect(text.topLeft.x - 2, text.topLeft.y - 2,
               laidOut.Width(QString::fromStdString(text.text)) + 4, spec.height + 4));
  }
  for (const window::ButtonSpec& button : UploadDialog::kButtons) {
    const window::Rect& area = button.bounds;
    skip(QRect(area.left, area.top, area.width, area.height));
  }
  std::map<BitmapId, QImage> bitmaps;
  int differing = 0;
  for (int y = 0; y < drawn.height(); ++y) {
    for (int x = 0; x < drawn.width(); ++x) {
      if (!compared[static_cast<std::size_t>(y * drawn.width() + x)])
        continue;
      const auto& pixel = model.At(x, y);
      QColor expected = ToQt(pixel.colour);
      if (pixel.bitmap) {
        QImage& bitmap = bitmaps[*pixel.bitmap];
        if (bitmap.isNull())
          bitmap.load(QStringLiteral(":/bitmaps/%1.png").arg(static_cast<int>(*pixel.bitmap)));
        expected = bitmap.pixelColor(pixel.bitmapX, pixel.bitmapY);
      }
      differing += drawn.pixelColor(x, y).rgb() != expected.rgb();
    }
  }
  return differing;
}

TEST_F(MainDialogTest, TheWindowDrawsWhatTheModelPaintsWithTheButtonsAtTheirPixels) {
  QtWindow window({Complete(1), Complete(2, 4)});
  EXPECT_EQ(window.dialog.size(), QSize(800, 529));
  EXPECT_TRUE(window.dialog.windowFlags() & Qt::FramelessWindowHint);
  const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
  EXPECT_LE((window.dialog.geometry().center() - screenCentre).manhattanLength(), 2);
  for (const window::ButtonSpec& spec : UploadDialog::kButtons) {
    const QWidget* button = window.Button(spec.name);
    ASSERT_NE(button, nullptr) << spec.name;
    EXPECT_EQ(button->geometry(),
              QRect(spec.bounds.left, spec.bounds.top, spec.bounds.width, spec.bounds.height));
  }
  EXPECT_EQ(PixelsUnlikeTheModel(window), 0) << "start-up: help page, lists, empty bar";

  window.dialog.Model().Progress().ReportProgress(50);
  window.dialog.Model().ChangeView([](UploadDialog::View& view) {
    view.reportText = " 1 Speaker(s) Passed:\n    - Serial: 1\n";
    view.box = window::BoxContent::kReport;
  });
  window.dialog.Model().MouseMove({557, 151}, false);  // hover on the second model's box
  EXPECT_EQ(PixelsUnlikeTheModel(window), 0) << "a report, a half bar, a hovered box";
  // Texts are drawn where the model puts them.
  EXPECT_GT(gui_testing::CountTextPixels(window.Picture(), QRect(55, 116, 150, 15)), 50);
  EXPECT_GT(gui_testing::CountTextPixels(window.Picture(), QRect(196, 450, 60, 16)), 20);
}

TEST_F(MainDialogTest, ButtonsShowTheirPressedAndFocusedBitmaps) {
  QtWindow window({});
  const auto rgb = [](const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); };
  const auto shows = [&rgb](QWidget* button, int bitmap) {
    return rgb(gui_testing::Snapshot(*button)) ==
           rgb(QImage(QStringLiteral(":/bitmaps/%1.png").arg(bitmap)));
  };
  QWidget* upload = window.Button("upload");
  QWidget* close = window.Button("close");
  EXPECT_TRUE(shows(upload, 132));
  QTest::mousePress(upload, Qt::LeftButton);
  EXPECT_TRUE(shows(upload, 133));
  QTest::mouseRelease(upload, Qt::LeftButton);
  EXPECT_TRUE(shows(upload, 132));
  EXPECT_TRUE(shows(close, 158));
  window.dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window.dialog));
  close->setFocus();
  EXPECT_TRUE(shows(close, 159));
}

// Each way of leaving reaches the exit checks, which keep a speaker without a boot loader.
TEST_F(MainDialogTest, EveryWayOfLeavingRunsTheExitChecks) {
  sim::SpeakerConfig noBoot = Complete(2, 4);
  noBoot.software.erase(noBoot.software.begin());
  const struct {
    const char* name;
    std::function<void(QtWindow&)> leave;
  } ways[] = {
      {"Exit button", [](QtWindow& w) { QTest::mouseClick(w.Button("exit"), Qt::LeftButton); }},
      {"close button", [](QtWindow& w) { QTest::mouseClick(w.Button("close"), Qt::LeftButton); }},
      {"Escape", [](QtWindow& w) { QTest::keyClick(&w.dialog, Qt::Key_Escape); }},
      {"close request", [](QtWindow& w) { w.dialog.close(); }},
  };
  for (const auto& way : ways) {
    QtWindow refusing({Complete(1), noBoot});
    way.leave(refusing);
    EXPECT_TRUE(refusing.dialog.isVisible()) << way.name;
    EXPECT_EQ(refusing.setup.prompts.messages,
              std::vector<std::string>{strings::kMissingBootMessage})
        << way.name;
  }
  QtWindow agreeing({Complete(1)});
  QTest::keyClick(&agreeing.dialog, Qt::Key_Escape);
  EXPECT_FALSE(agreeing.dialog.isVisible());
  EXPECT_EQ(agreeing.dialog.result(), 0);
  EXPECT_EQ(window_testing::CountFrames(agreeing.setup.bus, kModeCommand, kApplicationMode), 1);
}

// The menu the model asks for, with a file chooser answered as a user would.
TEST_F(MainDialogTest, TheRightClickMenuAndItsChooserReachTheModel) {
  QtWindow window({Complete(1)});
  testing_support::TempFolder chosen;
  chosen.Write("TarnS2V9.00.syx", {});
  QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(20, 20),
                            window.dialog.mapToGlobal(QPoint(20, 20)));
  QApplication::sendEvent(&window.dialog, &request);
  std::unique_ptr<QMenu> menu(
      window.dialog.findChild<QMenu*>(QString(), Qt::FindDirectChildrenOnly));
  ASSERT_NE(menu, nullptr);
  menu->hide();
  std::map<QString, QAction*> actions;
  for (QAction* action : menu->findChildren<QAction*>())
    actions[action->text()] = action;
  ASSERT_TRUE(actions.count(QString::fromLatin1(strings::kSaveReportItem)));
  EXPECT_FALSE(actions[QString::fromLatin1(strings::kSaveReportItem)]->isEnabled());
  EXPECT_TRUE(actions[QString::fromLatin1(strings::kAutomaticPortItem)]->isChecked());

  QTimer answer;
  answer.callOnTimeout([&chosen] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<QFileDialog*>(top); dialog && dialog->isVisible()) {
        dialog->selectFile(QString::fromStdString(chosen.path.string()));
        static_cast<QDialog*>(dialog)->accept();
      }
    }
  });
  answer.start(5);
  actions[QString::fromLatin1(strings::kFirmwareFolderItem)]->trigger();
  EXPECT_EQ(window.dialog.Model().Firmware().Folder(), chosen.path.string());
  EXPECT_EQ(window.dialog.Model().Firmware().Catalog().Entry(0).path,
            (chosen.path / "TarnS2V9.00.syx").string());
}

TEST_F(MainDialogTest, DroppedFilesAndAWorkersProgressReachTheWindowWithoutWaiting) {
  QtWindow window({Complete(1)});
  testing_support::TempFolder scratch;
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QString::fromStdString(scratch.Write("notes.txt", {})))});
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &files, Qt::LeftButton, {});
  QApplication::sendEvent(&window.dialog, &enter);
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &files, Qt::LeftButton, {});
  QApplication::sendEvent(&window.dialog, &drop);
  EXPECT_TRUE(window.setup.prompts.messages.empty()) << "only after the drop has ended";
  ASSERT_TRUE(QTest::qWaitFor([&window] { return !window.setup.prompts.messages.empty(); },
                              testing_support::kPatienceMs));
  EXPECT_EQ(window.setup.prompts.messages[0], "Not copied:\n  notes.txt: not a .syx file");

  gui_testing::PaintCounter paints;
  window.dialog.installEventFilter(&paints);
  std::thread([&window] { window.dialog.Model().Progress().ReportProgress(40); }).join();
  EXPECT_TRUE(QTest::qWaitFor([&paints] { return paints.paints > 0; }, 10000));
  EXPECT_EQ(window.Picture().pixelColor(196 + 100, 427),
            QImage(QStringLiteral(":/bitmaps/147.png")).pixelColor(100, 17));
}

}  // namespace
}  // namespace flashdesk
