#pragma once

// For tests of real Qt windows, headless: watching the pop-up menus and
// modal windows that open while something runs, and dropping data on a
// widget as Qt delivers a drag from another program.

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QtTest/QTest>

#include <functional>

namespace halvarin::testing {

// Hands every pop-up menu or modal window that opens while `action` runs to
// `handle`, one at a time, and closes it if `handle` left it open. Returns
// how many opened.
inline int WatchModals(const std::function<void()>& action,
                       const std::function<void(QWidget*)>& handle) {
  int seen = 0;
  QPointer<QWidget> last;
  QTimer timer;
  timer.setInterval(5);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* open = QApplication::activePopupWidget();
    if (open == nullptr)
      open = QApplication::activeModalWidget();
    if (open == nullptr || open == last)
      return;
    last = open;
    ++seen;
    handle(open);
    if (last && last->isVisible())
      last->close();
  });
  timer.start();
  action();
  for (int i = 0; i < 5; ++i)
    QTest::qWait(10);
  return seen;
}

// Enters, moves and drops `data` on `target`; returns the action the drop
// was accepted with (Qt::IgnoreAction when refused).
inline Qt::DropAction Drop(QWidget* target, QMimeData& data) {
  const QPoint at(20, 20);
  const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
  QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, {});
  QApplication::sendEvent(target, &enter);
  QDragMoveEvent move(at, offered, &data, Qt::LeftButton, {});
  QApplication::sendEvent(target, &move);
  QDropEvent dropped(QPointF(at), offered, &data, Qt::LeftButton, {});
  QApplication::sendEvent(target, &dropped);
  return enter.isAccepted() && dropped.isAccepted() ? dropped.dropAction() : Qt::IgnoreAction;
}

}  // namespace halvarin::testing
