// Draws FlashDesk's skin, buttons, progress pattern and icon at their fixed sizes and writes
// them as PNG files named by their resource numbers, and the icon at the desktop's theme sizes
// as flashdesk-SIZE.png:
//   flashdesk-make-artwork BITMAP_FOLDER ICON_FOLDER
// Buttons are drawn on a copy of the skin at their place, so their corners blend into it.

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

const QColor kPage(244, 246, 248);
const QColor kPageLow(233, 237, 241);
const QColor kBandTop(55, 68, 82);
const QColor kBandBottom(40, 50, 62);
const QColor kAccent(52, 120, 196);
const QColor kAccentLight(105, 173, 246);
const QColor kCardBorder(214, 220, 227);
const QColor kLabel(120, 128, 138);

QFont Font(int pixels, int weight) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixels);
  font.setWeight(static_cast<QFont::Weight>(weight));
  return font;
}

void Prepare(QPainter& painter) {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
}

// A white card with a soft shadow and a hairline border.
void Card(QPainter& painter, const QRectF& area) {
  for (int i = 3; i >= 1; --i) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 40, 55, 10));
    painter.drawRoundedRect(area.adjusted(-i, -i + 2, i, i + 2), 8 + i, 8 + i);
  }
  painter.setBrush(Qt::white);
  painter.setPen(QPen(kCardBorder, 1));
  painter.drawRoundedRect(area, 8, 8);
}

// The speaker mark of the title and the icon: a cabinet with a woofer and a tweeter.
void SpeakerMark(QPainter& painter, const QRectF& box, const QColor& body, const QColor& cone) {
  const qreal w = box.width();
  painter.setPen(Qt::NoPen);
  painter.setBrush(body);
  painter.drawRoundedRect(box, w * 0.16, w * 0.16);
  painter.setBrush(cone);
  const QPointF woofer(box.center().x(), box.top() + box.height() * 0.64);
  painter.drawEllipse(woofer, w * 0.30, w * 0.30);
  painter.setBrush(body);
  painter.drawEllipse(woofer, w * 0.12, w * 0.12);
  painter.setBrush(cone);
  painter.drawEllipse(QPointF(box.center().x(), box.top() + box.height() * 0.22), w * 0.12,
                      w * 0.12);
}

QImage Skin() {
  QImage image(800, 529, QImage::Format_RGB32);
  QPainter painter(&image);
  Prepare(painter);

  QLinearGradient page(0, 0, 0, 529);
  page.setColorAt(0, kPage);
  page.setColorAt(1, kPageLow);
  painter.fillRect(image.rect(), page);

  // Title band with the product name; Help and close sit on its right.
  QLinearGradient band(0, 0, 0, 46);
  band.setColorAt(0, kBandTop);
  band.setColorAt(1, kBandBottom);
  painter.fillRect(QRect(0, 0, 800, 46), band);
  QLinearGradient accent(0, 0, 800, 0);
  accent.setColorAt(0, kAccent);
  accent.setColorAt(1, kAccentLight);
  painter.fillRect(QRect(0, 46, 800, 3), accent);
  SpeakerMark(painter, QRectF(18, 9, 20, 28), QColor(236, 241, 247), kAccent);
  painter.setPen(Qt::white);
  painter.setFont(Font(22, 700));
  painter.drawText(QPointF(48, 31), QStringLiteral("FlashDesk"));
  painter.setPen(QColor(168, 184, 200));
  painter.setFont(Font(13, 400));
  painter.drawText(QPointF(163, 30), QStringLiteral("TARN firmware uploader"));

  // Left: the help and report area, wide enough for the longest help line; an empty card
  // when neither is shown.
  Card(painter, QRectF(24.5, 70.5, 482, 324));
  painter.setPen(kLabel);
  painter.setFont(Font(11, 700));
  painter.drawText(QPointF(37, 87), QStringLiteral("INFORMATION"));

  // Right: one card for the speaker models and the firmware files.
  Card(painter, QRectF(534.5, 70.5, 251, 324));
  painter.setPen(QPen(kCardBorder, 1));
  painter.drawLine(QPointF(548, 229.5), QPointF(772, 229.5));
  painter.setPen(kLabel);
  painter.setFont(Font(11, 700));
  painter.drawText(QPointF(550, 87), QStringLiteral("YOUR SETUP"));

  // Bottom: progress, status and the buttons.
  painter.setPen(QPen(QColor(220, 225, 231), 1));
  painter.drawLine(QPointF(0, 401.5), QPointF(800, 401.5));
  painter.setPen(kLabel);
  painter.setFont(Font(11, 700));
  painter.drawText(QRectF(24, 410, 160, 36), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("PROGRESS"));
  painter.fillRect(QRect(196, 410, 443, 36), Qt::white);
  QLinearGradient footer(0, 480, 0, 529);
  footer.setColorAt(0, QColor(226, 231, 236));
  footer.setColorAt(1, QColor(216, 222, 228));
  painter.fillRect(QRect(0, 480, 800, 49), footer);
  painter.setPen(QColor(205, 211, 218));
  painter.drawLine(QPointF(0, 480.5), QPointF(800, 480.5));
  painter.setPen(kLabel);
  painter.setFont(Font(11, 400));
  painter.drawText(QPointF(24, 507), QStringLiteral("\u00A9 TARN-System \u2022 Version 1.0"));
  return image;
}

QImage Crop(const QImage& skin, int x, int y, int w, int h) {
  return skin.copy(x, y, w, h);
}

// A filled rounded button with a label; pressed buttons are darker and their label sinks.
QImage LabelButton(const QImage& background, const QString& label, const QColor& top,
                   const QColor& bottom, const QColor& text, int pixels, bool pressed,
                   bool outlined) {
  QImage image = background;
  QPainter painter(&image);
  Prepare(painter);
  const QRectF area = QRectF(image.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QLinearGradient fill(0, 0, 0, image.height());
  fill.setColorAt(0, pressed ? bottom : top);
  fill.setColorAt(1, pressed ? bottom.darker(112) : bottom);
  painter.setBrush(fill);
  painter.setPen(outlined ? QPen(QColor(176, 186, 198), 1) : QPen(bottom.darker(125), 1));
  painter.drawRoundedRect(area, 5, 5);
  if (!pressed && !outlined) {
    painter.setPen(QPen(QColor(255, 255, 255, 60), 1));
    painter.drawLine(QPointF(5, 1.5), QPointF(image.width() - 5, 1.5));
  }
  painter.setPen(text);
  painter.setFont(Font(pixels, 700));
  painter.drawText(QRectF(image.rect()).translated(0, pressed ? 1 : 0), Qt::AlignCenter, label);
  return image;
}

QImage UploadButton(const QImage& skin, bool pressed) {
  QImage image = LabelButton(Crop(skin, 653, 410, 124, 36), QString(), QColor(72, 144, 222),
                             QColor(44, 108, 182), Qt::white, 15, pressed, false);
  QPainter painter(&image);
  Prepare(painter);
  const qreal shift = pressed ? 1 : 0;
  // An upward arrow before the label.
  QPainterPath arrow;
  arrow.moveTo(27, 11 + shift);
  arrow.lineTo(34, 19 + shift);
  arrow.lineTo(30, 19 + shift);
  arrow.lineTo(30, 26 + shift);
  arrow.lineTo(24, 26 + shift);
  arrow.lineTo(24, 19 + shift);
  arrow.lineTo(20, 19 + shift);
  arrow.closeSubpath();
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawPath(arrow);
  painter.setPen(Qt::white);
  painter.setFont(Font(15, 700));
  painter.drawText(QRectF(40, shift, 76, 36), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("UPLOAD"));
  return image;
}

QImage HelpButton(const QImage& skin) {
  QImage image = LabelButton(Crop(skin, 700, 9, 60, 23), QString(), QColor(74, 88, 104),
                             QColor(62, 75, 90), Qt::white, 12, false, false);
  QPainter painter(&image);
  Prepare(painter);
  painter.setPen(QPen(QColor(200, 214, 228), 1.2));
  painter.setBrush(Qt::NoBrush);
  painter.drawEllipse(QPointF(14, 11.5), 6, 6);
  painter.setFont(Font(10, 700));
  painter.setPen(QColor(214, 226, 238));
  painter.drawText(QRectF(8, 5, 12, 13), Qt::AlignCenter, QStringLiteral("?"));
  painter.setPen(Qt::white);
  painter.setFont(Font(12, 700));
  painter.drawText(QRectF(23, 0, 33, 23), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Help"));
  return image;
}

QImage CloseButton(const QImage& skin, bool pressed) {
  QImage image = Crop(skin, 780, 5, 15, 15);
  QPainter painter(&image);
  Prepare(painter);
  painter.setPen(Qt::NoPen);
  painter.setBrush(pressed ? QColor(200, 70, 60) : QColor(82, 96, 112));
  painter.drawRoundedRect(QRectF(0.5, 0.5, 14, 14), 3, 3);
  painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(4.5, 4.5), QPointF(10.5, 10.5));
  painter.drawLine(QPointF(10.5, 4.5), QPointF(4.5, 10.5));
  return image;
}

// Soft diagonal stripes on a blue gradient, lighter at the top like a lit surface.
QImage ProgressPattern() {
  QImage image(451, 36, QImage::Format_RGB32);
  QPainter painter(&image);
  Prepare(painter);
  QLinearGradient base(0, 0, 0, 36);
  base.setColorAt(0, QColor(128, 188, 250));
  base.setColorAt(0.5, QColor(84, 152, 230));
  base.setColorAt(1, QColor(60, 128, 206));
  painter.fillRect(image.rect(), base);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 255, 255, 34));
  for (int x = -36; x < 451 + 36; x += 24) {
    const QPointF stripe[] = {
        {qreal(x), 36}, {qreal(x + 12), 36}, {qreal(x + 48), 0}, {qreal(x + 36), 0}};
    painter.drawPolygon(stripe, 4);
  }
  painter.fillRect(QRect(0, 0, 451, 2), QColor(255, 255, 255, 70));
  return image;
}

// Drawn on a 256-pixel grid and scaled as a vector, so every size is sharp.
QImage Icon(int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  Prepare(painter);
  painter.scale(size / 256.0, size / 256.0);
  QLinearGradient tile(0, 0, 0, 256);
  tile.setColorAt(0, kBandTop);
  tile.setColorAt(1, kBandBottom);
  painter.setPen(Qt::NoPen);
  painter.setBrush(tile);
  painter.drawRoundedRect(QRectF(8, 8, 240, 240), 48, 48);
  SpeakerMark(painter, QRectF(78, 40, 100, 140), QColor(236, 241, 247), kAccent);
  // The upload arrow under the speaker.
  QPainterPath arrow;
  arrow.moveTo(128, 186);
  arrow.lineTo(160, 218);
  arrow.lineTo(96, 218);
  arrow.closeSubpath();
  painter.setBrush(kAccentLight);
  painter.drawPath(arrow);
  return image;
}

bool SaveAs(const QImage& image, const QDir& folder, const QString& name) {
  const QString path = folder.filePath(name);
  if (image.save(path))
    return true;
  std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  return false;
}

bool Save(const QImage& image, const QDir& folder, int number) {
  return SaveAs(image, folder, QString::number(number) + QStringLiteral(".png"));
}

// The sizes the desktop's icon theme looks for.
bool SaveThemeIcons(const QDir& folder) {
  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    if (!SaveAs(Icon(size), folder, QStringLiteral("flashdesk-%1.png").arg(size)))
      return false;
  }
  return true;
}

bool MakeFolder(const char* path, QDir& folder) {
  folder.setPath(QString::fromLocal8Bit(path));
  if (folder.exists() || QDir().mkpath(folder.path()))
    return true;
  std::fprintf(stderr, "cannot create %s\n", path);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s BITMAP_FOLDER ICON_FOLDER\n", argv[0]);
    return 2;
  }
  QDir folder;
  QDir iconFolder;
  if (!MakeFolder(argv[1], folder) || !MakeFolder(argv[2], iconFolder))
    return 1;
  const QImage skin = Skin();
  const QImage exitBackground = Crop(skin, 726, 490, 56, 24);
  const bool written =
      Save(skin, folder, 130) && Save(UploadButton(skin, false), folder, 132) &&
      Save(UploadButton(skin, true), folder, 133) &&
      Save(LabelButton(exitBackground, QStringLiteral("Exit"), QColor(250, 251, 252),
                       QColor(236, 240, 244), QColor(70, 80, 92), 12, false, true),
           folder, 134) &&
      Save(HelpButton(skin), folder, 135) && Save(ProgressPattern(), folder, 147) &&
      Save(CloseButton(skin, false), folder, 158) && Save(CloseButton(skin, true), folder, 159) &&
      Save(Icon(256), folder, 128) && SaveThemeIcons(iconFolder);
  return written ? 0 : 1;
}
