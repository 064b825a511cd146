// SPDX-License-Identifier: MIT
#include "app/PointerScheme.h"

#include <QEvent>
#include <QWidget>

namespace ostrand {

PointerScheme::PointerScheme(QWidget& window) : QObject(&window), m_window(window)
{
}

void PointerScheme::setPointer(MousePointer pointer)
{
    m_pointer = pointer;
    switch (pointer) {
    case MousePointer::Default:
        m_window.unsetCursor();
        break;
    case MousePointer::Busy:
        m_window.setCursor(Qt::WaitCursor);
        break;
    case MousePointer::Hand:
        m_window.setCursor(m_handCursor);
        break;
    }
    emit pointerChanged(pointer);
}

void PointerScheme::setHandCursor(const QCursor& cursor)
{
    m_handCursor = cursor;
    if (m_pointer == MousePointer::Hand)
        m_window.setCursor(m_handCursor);
}

void PointerScheme::resetOnMouseMove(QWidget* widget)
{
    m_resetters.insert(widget);
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
}

void PointerScheme::handOnMouseMove(QWidget* widget)
{
    m_handSetters.insert(widget);
    widget->setMouseTracking(true);
    // A move over a button is the button's alone: it must not reach the container and reset the pointer.
    widget->setAttribute(Qt::WA_NoMousePropagation);
    widget->installEventFilter(this);
}

void PointerScheme::keepOnMouseMove(QWidget* widget)
{
    widget->setMouseTracking(true);
    widget->setAttribute(Qt::WA_NoMousePropagation);
}

bool PointerScheme::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove && !isBusy()) {
        if (m_handSetters.contains(watched)) {
            if (m_pointer != MousePointer::Hand)
                setPointer(MousePointer::Hand);
        } else if (m_resetters.contains(watched)) {
            if (m_pointer != MousePointer::Default)
                setPointer(MousePointer::Default);
        }
    }
    return false;
}

} // namespace ostrand
