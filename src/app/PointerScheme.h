// SPDX-License-Identifier: MIT
#pragma once

#include <QCursor>
#include <QObject>
#include <QSet>

class QWidget;

namespace ostrand {

// The pointer states of the main window, with the values the window stores.
enum class MousePointer {
    Default = 0,
    Busy = 11, // the hourglass: a long operation is running
    Hand = 99  // the custom hand pointer
};

// The main window's pointer: one explicit value, the one place the window's cursor changes, and the mouse
// moves that change it. The busy pointer doubles as the lock of long operations, so the move rules leave it
// in place; code asks isBusy(), never the toolkit's cursor.
class PointerScheme : public QObject
{
    Q_OBJECT

public:
    explicit PointerScheme(QWidget& window);

    MousePointer pointer() const { return m_pointer; }
    bool isBusy() const { return m_pointer == MousePointer::Busy; }
    void setPointer(MousePointer pointer);

    // The image of the hand pointer (the platform's pointing hand until one is loaded).
    void setHandCursor(const QCursor& cursor);
    QCursor handCursor() const { return m_handCursor; }

    // Mouse moves over the widget set the default pointer, unless busy.
    void resetOnMouseMove(QWidget* widget);
    // Mouse moves over the widget set the hand pointer, unless busy.
    void handOnMouseMove(QWidget* widget);
    // Mouse moves over the widget change nothing: they end there instead of reaching its container.
    void keepOnMouseMove(QWidget* widget);

signals:
    void pointerChanged(ostrand::MousePointer pointer);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    MousePointer m_pointer = MousePointer::Default;
    QCursor m_handCursor{Qt::PointingHandCursor};
    QSet<const QObject*> m_resetters;
    QSet<const QObject*> m_handSetters;
};

} // namespace ostrand
