#pragma once
// Acts on the next modal dialog as soon as it is open, the way a person would after it appeared.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace marquelo::test {

inline void whenModal(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

} // namespace marquelo::test
