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
#include <QSet>
#include <QTimer>
#include <QtTest/QTest>

#include <functional>

namespace halvarin::testing {

// Hands every pop-up menu or modal window that opens while `action` runs to
// `handle`, and closes it if `handle` left it open; one that will not close
// is handed over again. Each hand-over
// runs from a timer of its own, so that a window opening inside `handle` (a
// question raised by a file dialog's accept) is handed over too.
inline void WatchModals(const std::function<void()>& action,
                        const std::function<void(QWidget*)>& handle) {
  QSet<QWidget*> busy;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* open = QApplication::activePopupWidget();
    open = open != nullptr ? open : QApplication::activeModalWidget();
    if (open == nullptr || !open->isVisible() || busy.contains(open)) {
      return;
    }
    busy.insert(open);
    QTimer::singleShot(0, &timer, [&, open, watched = QPointer<QWidget>(open)] {
      if (watched) {
        handle(watched);
      }
      if (watched && watched->isVisible()) {
        watched->close();
      }
      busy.remove(open);
    });
  });
  timer.start(5);
  action();
  QTest::qWait(50);
}

// Enters, moves and drops `data` on `target`; returns the action the drop
// was accepted with (Qt::IgnoreAction when refused).
inline Qt::DropAction Drop(QWidget* target, QMimeData& data) {
  const QPoint at(20, 20);
  const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
  QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, {});
  QDragMoveEvent move(at, offered, &data, Qt::LeftButton, {});
  QDropEvent dropped(QPointF(at), offered, &data, Qt::LeftButton, {});
  for (QEvent* event : std::initializer_list<QEvent*>{&enter, &move, &dropped}) {
    QApplication::sendEvent(target, event);
  }
  return enter.isAccepted() && dropped.isAccepted() ? dropped.dropAction() : Qt::IgnoreAction;
}

}  // namespace halvarin::testing
