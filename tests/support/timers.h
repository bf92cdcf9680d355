#pragma once

#include <QTest>
#include <QTimer>

namespace pellix::test {

// Fires a window's timer (found by its control name, "Timer1") as if its interval had passed,
// so timer-driven behaviour is tested without waiting.
inline void tick(QObject& window, const char* timerName, int times = 1) {
    auto* timer = window.findChild<QTimer*>(QString::fromLatin1(timerName));
    QVERIFY(timer);
    for (int i = 0; i < times; ++i) {
        QMetaObject::invokeMethod(timer, "timeout");
    }
}

}  // namespace pellix::test
