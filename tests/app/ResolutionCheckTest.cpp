#include <gtest/gtest.h>
#include <QTimer>

#include "app/UploadDialog.h"
#include "tests/panels/GuiTestSupport.h"

namespace flashdesk {
namespace {

// Its own program: the resolution is fixed when the application object is made.
TEST(ResolutionCheck, OtherThanNinetySixDpiShowsTheMessageAndClosesWithoutAScan) {
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  qputenv("QT_FONT_DPI", "120");
  gui_testing::EnsureApplication();
  gui_testing::SimulatedSetup setup;
  setup.AddSpeaker(4, 0x1234);

  UploadDialog dialog(setup.Services());
  ASSERT_EQ(dialog.logicalDpiX(), 120);
  ASSERT_EQ(setup.prompts.messages.size(), 1u);
  EXPECT_EQ(setup.prompts.messages[0],
            "This program doesn't scale correctly\nwith your dpi settings.\nSet dpi to 96 and "
            "try again");
  EXPECT_FALSE(dialog.Initialised());
  EXPECT_EQ(dialog.uploadButton, nullptr);

  bool timedOut = false;
  QTimer::singleShot(20000, &dialog, [&] {
    timedOut = true;
    dialog.reject();
  });
  const int result = dialog.exec();  // the close request runs the exit checks and ends it
  EXPECT_FALSE(timedOut);
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(setup.line.OpenAttempts().empty()) << "no scan ran";
  EXPECT_EQ(setup.prompts.messages.size(), 1u);
}

}  // namespace
}  // namespace flashdesk
