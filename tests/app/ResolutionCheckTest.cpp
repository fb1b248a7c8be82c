#include <gtest/gtest.h>
#include <QTimer>

#include "app/MainDialog.h"
#include "tests/app/GuiTestSupport.h"

namespace flashdesk {
namespace {

// Its own program: the resolution is fixed when the application object is made.
TEST(ResolutionCheck, OtherThanNinetySixDpiShowsTheMessageAndClosesWithoutAScan) {
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  qputenv("QT_FONT_DPI", "120");
  gui_testing::EnsureApplication();
  gui_testing::SimulatedSetup setup;
  setup.AddSpeaker(4, 0x1234);

  MainDialog dialog(setup.Services());
  ASSERT_EQ(dialog.logicalDpiX(), 120);
  EXPECT_FALSE(dialog.Model().Initialised());
  EXPECT_TRUE(dialog.findChildren<QAbstractButton*>().empty()) << "the window is not built";
  // A stuck run ends with -1 and fails instead of hanging.
  QTimer::singleShot(20000, &dialog, [&dialog] { dialog.done(-1); });
  EXPECT_EQ(dialog.exec(), 0) << "the close request runs the exit checks and ends it";
  EXPECT_EQ(setup.prompts.messages,
            std::vector<std::string>{"This program doesn't scale correctly\nwith your dpi "
                                     "settings.\nSet dpi to 96 and try again"});
  EXPECT_TRUE(setup.line.OpenAttempts().empty()) << "no scan ran";
}

}  // namespace
}  // namespace flashdesk
