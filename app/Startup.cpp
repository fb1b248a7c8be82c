#include "app/Startup.h"

#include <QCommandLineParser>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Trace.h"

namespace flashdesk {
namespace {

constexpr const char* kDescription =
    "Uploads firmware to the TARN loudspeakers on a serial bus, in a window.\n"
    "\n"
    "At start-up the window searches serial ports 0 to 10 for the speakers, the port that\n"
    "worked last time first, and lists the speaker models. The firmware list shows the .syx\n"
    "files of the firmware folder that fit the chosen model; UPLOAD sends the ticked file to\n"
    "every speaker at once and adds a line to the upload history. Exit returns the speakers\n"
    "to Application mode. The firmware folder is syx of the working directory until another\n"
    "is chosen in the right-click menu; .syx files dropped on the window are copied into it.\n"
    "\n"
    "Without a display the program says so and ends with status 1: flashdesk-cli does the\n"
    "same jobs from a terminal. A mistake on the command line ends it with status 2.";

constexpr const char* kHelpHint = "; see flashdesk --help";

// QCommandLineParser names an unknown option without its dashes; the user typed them.
QString TypedOption(const QStringList& arguments, const QString& name) {
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("--"))
      break;
    const QString typed = argument.section(QLatin1Char('='), 0, 0);
    QString bare = typed;
    while (bare.startsWith(QLatin1Char('-')))
      bare.remove(0, 1);
    if (typed.startsWith(QLatin1Char('-')) && bare == name)
      return typed;
  }
  return QStringLiteral("--") + name;
}

QString Mistake(const QString& what) {
  return QStringLiteral("flashdesk: ") + what + QLatin1String(kHelpHint);
}

QString NoDisplay(const QString& why) {
  return QStringLiteral("flashdesk: no display (") + why +
         QStringLiteral("); use flashdesk-cli from a terminal");
}

struct HeldMessage {
  QtMsgType type;
  QByteArray category;
  QString text;
};

// Qt's message handler is a plain function, so the guard's state is the program's.
struct GuardState {
  QtMessageHandler previous = nullptr;
  QString failureLine;
  std::mutex lock;
  std::vector<HeldMessage> held;
};
GuardState* guardState = nullptr;

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  std::lock_guard<std::mutex> hold(guardState->lock);
  if (type != QtFatalMsg) {
    guardState->held.push_back({type, QByteArray(context.category), text});
    return;
  }
  for (const HeldMessage& message : guardState->held)
    platform::Trace(message.text.toStdString());
  platform::Trace(text.toStdString());
  std::fputs((guardState->failureLine + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
  std::fflush(stderr);
  // Qt aborts once the handler returns; nothing of the program runs yet that needs ending.
  std::_Exit(kExitNoDisplay);
}

}  // namespace

StartRequest ParseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QString::fromLatin1(kDescription));
  // Qt spells its own option -platform, with one dash.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("print this help and exit"));
  // -V as flashdesk-cli spells it, -v as earlier versions did.
  const QCommandLineOption version(
      {QStringLiteral("v"), QStringLiteral("V"), QStringLiteral("version")},
      QStringLiteral("print the version and exit"));
  const QCommandLineOption platform(
      QStringLiteral("platform"),
      QStringLiteral("Qt's window system plugin, such as xcb, wayland or offscreen (else "
                     "QT_QPA_PLATFORM, else Qt's choice)"),
      QStringLiteral("NAME"));
  parser.addOptions({help, version, platform});

  StartRequest request;
  if (!parser.parse(arguments)) {
    request.action = StartRequest::Action::kMistake;
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
      request.text = Mistake(QStringLiteral("unknown option '") +
                             TypedOption(arguments, unknown.first()) + QLatin1Char('\''));
    } else {
      QString what = parser.errorText();
      if (what.endsWith(QLatin1Char('.')))
        what.chop(1);
      request.text = Mistake(what.left(1).toLower() + what.mid(1));
    }
    return request;
  }
  if (!parser.positionalArguments().isEmpty()) {
    request.action = StartRequest::Action::kMistake;
    request.text = Mistake(QStringLiteral("unexpected argument '") +
                           parser.positionalArguments().first() + QLatin1Char('\''));
    return request;
  }
  if (parser.isSet(help)) {
    request.action = StartRequest::Action::kHelp;
    // Qt's usage line names the program as it was started; help2man wants its name.
    request.text = QStringLiteral("Usage: flashdesk [OPTION]...\n") +
                   parser.helpText().section(QLatin1Char('\n'), 1);
    return request;
  }
  if (parser.isSet(version)) {
    request.action = StartRequest::Action::kVersion;
    request.text = QStringLiteral("flashdesk " FLASHDESK_VERSION "\n");
    return request;
  }
  request.platform = parser.value(platform);
  return request;
}

QString MissingDisplay(const QString& platform, const QProcessEnvironment& environment) {
  // A platform the user names is Qt's to try: offscreen, vnc and eglfs need no display.
  if (!platform.isEmpty())
    return {};
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    if (!environment.value(QString::fromLatin1(name)).isEmpty())
      return {};
  }
  return NoDisplay(QStringLiteral("DISPLAY and WAYLAND_DISPLAY are unset"));
}

QString DisplayFailed(const QString& platform, const QProcessEnvironment& environment) {
  const QString named =
      platform.isEmpty() ? environment.value(QStringLiteral("QT_QPA_PLATFORM")) : platform;
  if (!named.isEmpty())
    return NoDisplay(QStringLiteral("Qt's platform plugin '") + named +
                     QStringLiteral("' could not start"));
  QStringList displays;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const QString value = environment.value(QString::fromLatin1(name));
    if (!value.isEmpty())
      displays << QString::fromLatin1(name) + QLatin1Char('=') + value;
  }
  return NoDisplay(QStringLiteral("Qt could not open ") + displays.join(QStringLiteral(" or ")));
}

PlatformStartGuard::PlatformStartGuard(const QString& failureLine) {
  guardState = new GuardState;
  guardState->failureLine = failureLine;
  guardState->previous = qInstallMessageHandler(HoldMessage);
}

PlatformStartGuard::~PlatformStartGuard() {
  qInstallMessageHandler(guardState->previous);
  for (const HeldMessage& message : guardState->held) {
    const QMessageLogContext context(
        nullptr, 0, nullptr, message.category.isEmpty() ? nullptr : message.category.constData());
    guardState->previous(message.type, context, message.text);
  }
  delete guardState;
  guardState = nullptr;
}

}  // namespace flashdesk
