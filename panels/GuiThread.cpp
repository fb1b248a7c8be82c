#include "panels/GuiThread.h"

#include <QCoreApplication>
#include <QEvent>

namespace flashdesk {
namespace {

// Qt delivers the events of such operations on the calling thread; the filter sees them there.
class ThreadCheck : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent*) override {
    ExpectOwnThread(watched);
    return false;
  }
};

void InstallThreadCheck() {
  QCoreApplication* application = QCoreApplication::instance();
  application->installEventFilter(new ThreadCheck(application));
}

}  // namespace

// This file is linked wherever a check is called, and brings the filter along.
Q_COREAPP_STARTUP_FUNCTION(InstallThreadCheck)

void ExpectOwnThread(const QObject* object) {
  if (QThread::currentThread() != object->thread())
    qFatal("%s used off its own thread", object->metaObject()->className());
}

}  // namespace flashdesk
