#pragma once

// Helpers for driving the settings dialogs the way a user does.

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <QKeyEvent>

#include <functional>
#include <ostream>

// Failure messages show Qt strings as text.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace kerrion::test {

// Types `text` into `widget` one character at a time, as keyboard or input method would deliver
// it (any script, not only the keys QTest knows by name).
inline void TypeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

// A double click as the window system delivers it: press, release, double click, release.
inline void DoubleClick(QWidget* widget, QPoint pos)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, pos);
}

// Presses a key in `widget` after giving it the focus, where a user's key press would land.
inline void PressKeyIn(QWidget* widget, Qt::Key key)
{
    widget->setFocus();
    QTest::keyClick(widget, key);
}

// Shows a dialog without running it modally and waits until it is on screen.
inline bool ShowAndWait(QWidget& dialog)
{
    dialog.show();
    return QTest::qWaitForWindowExposed(&dialog);
}

// Picks item `index` of a drop-down list with the keyboard, as a user would.
inline void ChooseItem(QComboBox& combo, int index)
{
    combo.setFocus();
    QTest::keyClick(&combo, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(&combo, Qt::Key_Down);
}

// Runs `action` on the next modal window of type T once it is shown (polled from the event loop
// of whatever runs modally meanwhile). Gives up after `ms`.
template <class T>
void WhenModal(std::function<void(T*)> action, int ms = 5000)
{
    auto* clock = new QElapsedTimer;
    clock->start();
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action, ms] {
        T* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        if (modal == nullptr && clock->elapsed() < ms)
            return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (modal != nullptr)
            action(modal);
    });
    timer->start();
}

} // namespace kerrion::test
