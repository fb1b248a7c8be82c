#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <utility>

namespace flashdesk {

// Runs work at once on the target's own thread, or posts it there from any other thread.
// Never waits: a worker may call this while the window's thread waits for the engine.
template <typename Work>
void RunOnGuiThread(QObject* target, Work&& work) {
  if (QThread::currentThread() == target->thread()) {
    work();
  } else {
    QMetaObject::invokeMethod(target, std::forward<Work>(work), Qt::QueuedConnection);
  }
}

}  // namespace flashdesk
