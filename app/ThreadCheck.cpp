#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace flashdesk {
namespace {

// Widgets belong to the thread that made them, yet a release build of Qt lets another thread
// call them without a word. Builds with FLASHDESK_THREAD_CHECKS (every build with tests) stop at
// once through this application-wide filter: Qt delivers the events of every widget operation
// that acts at once (show, hide, repaint, move, focus...) on the calling thread, where the
// filter sees them. update() only posts a request and passes unseen.
class ThreadCheck : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent*) override {
    if (QThread::currentThread() != watched->thread())
      qFatal("%s used off its own thread", watched->metaObject()->className());
    return false;
  }
};

void InstallThreadCheck() {
  QCoreApplication* application = QCoreApplication::instance();
  application->installEventFilter(new ThreadCheck(application));
}

}  // namespace

// Linked into every program of a build with the checks, and installed as its application
// starts.
Q_COREAPP_STARTUP_FUNCTION(InstallThreadCheck)

}  // namespace flashdesk
