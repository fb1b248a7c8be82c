#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <utility>

namespace flashdesk {

// Widgets belong to the thread that made them, yet a release build of Qt lets another thread
// call them without a word. Builds with FLASHDESK_THREAD_CHECKS (every build with tests) stop at
// once: here for our window's-thread-only operations, and through an application-wide event
// filter for every widget operation that acts at once (show, hide, repaint, move, focus...).
// update() only posts a request and passes unseen: from a worker, post it with RunOnGuiThread.
#ifdef FLASHDESK_THREAD_CHECKS
void ExpectOwnThread(const QObject* object);
#else
inline void ExpectOwnThread(const QObject*) {}
#endif

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
