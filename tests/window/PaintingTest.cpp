// What the window model draws, through a canvas that keeps every pixel and text.
#include <gtest/gtest.h>

#include "tests/window/WindowRig.h"

namespace flashdesk {
namespace {

using window::BitmapId;
using window::Colour;
using window::FontName;
using window::Point;
using window::Rect;
using window::UploadDialog;
using window_testing::PixelCanvas;
using window_testing::WindowRig;

constexpr Colour kText{100, 100, 100};
constexpr Colour kFrame{200, 200, 200};
constexpr Colour kFill{250, 250, 250};
constexpr Colour kBlack{0, 0, 0};
constexpr Colour kOutline{150, 150, 150};
constexpr Colour kDark{76, 76, 76};
constexpr Colour kWhite{255, 255, 255};

sim::SpeakerConfig Complete(std::uint32_t serial, std::uint8_t type = 3) {
  return testing_support::SimulatedSetup::CompleteSpeaker(type, serial);
}

// The box's light frame, black outline and fill, corner by corner, for a box of this height.
void ExpectBox(const PixelCanvas& canvas, int height, const std::string& label) {
  const int bottom = 96 + height - 1;
  const struct {
    int x, y;
    Colour colour;
  } pixels[] = {{35, 96, kFrame},      {474, 96, kFrame},       {35, bottom, kFrame},
                {474, bottom, kFrame}, {36, 97, kBlack},        {473, bottom - 1, kBlack},
                {37, 98, kFill},       {472, bottom - 2, kFill}};
  for (const auto& pixel : pixels) {
    if (pixel.y < UploadDialog::kClientHeight) {
      EXPECT_TRUE(canvas.Is(pixel.x, pixel.y, pixel.colour))
          << label << " " << pixel.x << "," << pixel.y;
    }
  }
  EXPECT_FALSE(canvas.Is(34, 95, kFrame)) << label;
  if (bottom + 1 < UploadDialog::kClientHeight) {
    EXPECT_FALSE(canvas.Is(200, bottom + 1, kFrame)) << label;
  }
}

TEST(Painting, StartUpShowsTheSkinCaptionsScanNoticeHelpPageAndABareStatusLine) {
  WindowRig rig;
  const PixelCanvas canvas = rig.Painted();
  EXPECT_EQ(canvas.At(10, 500).bitmap, BitmapId::kSkin);
  ExpectBox(canvas, 290, "help box");
  const struct {
    Point at;
    FontName font;
    const char* text;
  } texts[] = {
      {{550, 96}, FontName::kCaption, "Select Speakers"},
      {{550, 240}, FontName::kCaption, "Select Software"},
      {{550, 120}, FontName::kBody, "Searching... Please Wait"},
      {{550, 144}, FontName::kBody, "Shouldn't be more than a minute"},
      {{55, 116}, FontName::kHeading, "About this program:"},
      {{55, 356},
       FontName::kBody,
       "                                                    press HELP for next page"},
      {{196, 450}, FontName::kStatus, "Status:"},
  };
  for (const auto& expected : texts) {
    const PixelCanvas::Text* text = canvas.TextAt(expected.at);
    ASSERT_NE(text, nullptr) << expected.text;
    EXPECT_EQ(text->text, expected.text);
    EXPECT_EQ(text->font, expected.font) << expected.text;
    EXPECT_EQ(text->colour, kText) << expected.text;
  }
  // Nothing is listed before the scan.
  EXPECT_EQ(canvas.TextAt({570, 120}), nullptr);
  EXPECT_EQ(canvas.TextAt({570, 268})->text, "Firmware | Not Available...");
}

TEST(Painting, HelpCyclesItsPagesAndAReportBoxGrowsTwentyPixelsPerLine) {
  WindowRig rig;
  const std::vector<std::pair<int, const char*>> steps = {
      {116, "Uploading Application Software step by step"},
      {0, nullptr},
      {116, "About this program:"}};
  for (const auto& [top, heading] : steps) {
    rig.dialog->OnCommand(UploadDialog::kHelpCommand);
    const PixelCanvas canvas = rig.Painted();
    const PixelCanvas::Text* first = canvas.TextAt({55, 116});
    EXPECT_EQ(first != nullptr, heading != nullptr);
    if (heading) {
      EXPECT_EQ(first->text, heading);
      EXPECT_EQ(first->font, FontName::kHeading);
    } else {
      EXPECT_FALSE(canvas.Is(35, 96, kFrame)) << "no box";
    }
  }
  EXPECT_EQ(rig.Painted().TextAt({55, 256}), nullptr) << "page 0 has no line at 256";

  for (const int lines : {0, 1, 3, 13, 30}) {
    std::string report;
    for (int i = 0; i < lines; ++i)
      report += "  Line " + std::to_string(i) + "  \n";
    rig.dialog->ChangeView([&report](UploadDialog::View& view) {
      view.reportText = report + "not drawn: no line feed after it";
      view.box = window::BoxContent::kReport;
    });
    const PixelCanvas canvas = rig.Painted();
    const std::string label = std::to_string(lines) + " lines";
    // The bar stands over it from the fourteenth line on; the window's edge cuts it off.
    ExpectBox(canvas, 40 + 20 * lines, label);
    int drawn = 0;
    for (const PixelCanvas::Text& text : canvas.texts)
      drawn += text.topLeft.x == 55;
    EXPECT_EQ(drawn, std::min(lines, 21)) << label << ": lines after the 21st are not seen";
    if (lines > 0) {
      // Indentation stays, trailing blanks go.
      const int last = std::min(lines, 21) - 1;
      const PixelCanvas::Text* text = canvas.TextAt({55, 116 + 20 * last});
      ASSERT_NE(text, nullptr) << label;
      EXPECT_EQ(text->text, "  Line " + std::to_string(last)) << label;
    }
  }
}

TEST(Painting, ProgressFillsWithThePatternFromTheBarsCornerAndStaysInsideIt) {
  WindowRig rig;
  window::ProgressBar& bar = rig.dialog->Progress();
  const struct {
    std::int32_t position;
    int fillRight;
  } cases[] = {{0, 2}, {50, 221}, {100, 441}, {1, 6}, {150, 441}, {-20, 2}};
  for (const auto& example : cases) {
    bar.ReportProgress(example.position);
    EXPECT_EQ(bar.FillRight(), example.fillRight) << example.position;
    const PixelCanvas canvas = rig.Painted();
    for (int x = 2; x < 441; ++x) {
      const PixelCanvas::Pixel& pixel = canvas.At(196 + x, 410 + 17);
      if (x < example.fillRight) {
        ASSERT_EQ(pixel.bitmap, BitmapId::kProgressPattern) << example.position << " at " << x;
        ASSERT_EQ(pixel.bitmapX, x) << example.position;
      } else {
        ASSERT_TRUE(canvas.Is(196 + x, 427, kWhite)) << example.position << " at " << x;
      }
    }
    EXPECT_TRUE(canvas.Is(196, 410 + 34, Colour{180, 180, 180}));
    EXPECT_TRUE(canvas.Is(196 + 442, 410 + 35, Colour{140, 140, 140}));
    EXPECT_EQ(canvas.At(197, 411).bitmap, BitmapId::kSkin) << "the ring inside the frame";
  }
  bar.SetRange(5, 5);  // an empty range leaves the bar empty
  EXPECT_EQ(bar.FillRight(), 2);
}

TEST(Painting, CheckBoxesShowTheirTickFillAndHoverOutline) {
  auto rig = window_testing::ScannedRig({Complete(1)});
  const auto box = [](const Rect& panel, int row) {
    return Rect{panel.left + 1, panel.top + 24 * row + 1, 14, 14};
  };
  const Rect speakers = window::SpeakerPanel::kBounds;
  const Rect firmware = window::FirmwarePanel::kBounds;
  PixelCanvas canvas = rig->Painted();
  EXPECT_GT(canvas.Count(box(speakers, 0), Colour{105, 173, 246}), 100) << "the ticked model";
  EXPECT_GT(canvas.Count(box(firmware, 0), Colour{246, 157, 105}), 100) << "the ticked file";
  EXPECT_GT(canvas.Count(box(firmware, 0), kDark), 10) << "its tick";
  EXPECT_EQ(canvas.Count(box(firmware, 1), kDark), 0);
  EXPECT_GT(canvas.Count(box(firmware, 1), Colour{200, 200, 200}), 130);
  EXPECT_TRUE(canvas.Is(firmware.left + 7, firmware.top + 24 + 1, kOutline));
  EXPECT_EQ(canvas.At(firmware.left + 7, firmware.top + 24).bitmap, BitmapId::kSkin);
  EXPECT_EQ(canvas.At(firmware.left + 16, firmware.top + 24 + 7).bitmap, BitmapId::kSkin);
  EXPECT_EQ(canvas.TextAt({firmware.left + 20, firmware.top + 24})->colour,
            (Colour{125, 125, 125}));
  EXPECT_EQ(canvas.TextAt({firmware.left + 20, firmware.top})->colour, kText);

  // Hover darkens the outline while the pointer is over the box only.
  rig->dialog->MouseMove({firmware.left + 7, firmware.top + 24 + 7}, false);
  EXPECT_TRUE(rig->Painted().Is(firmware.left + 7, firmware.top + 24 + 1, kDark));
  rig->dialog->MouseMove({firmware.left + 40, firmware.top + 24 + 7}, false);
  EXPECT_TRUE(rig->Painted().Is(firmware.left + 7, firmware.top + 24 + 1, kOutline));
}

}  // namespace
}  // namespace flashdesk
