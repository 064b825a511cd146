// SPDX-License-Identifier: MIT
#include "options/FocusLossCheck.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QTimer>

namespace ostrand {

FocusLossCheck::FocusLossCheck(Remind remind, QObject* parent) : QObject(parent), m_remind(std::move(remind))
{
}

void FocusLossCheck::watch(QLineEdit* box, Test test, const QString& message)
{
    m_watched.append({box, std::move(test), message});
    box->installEventFilter(this);
}

FocusLossCheck::Watched* FocusLossCheck::find(const QObject* box)
{
    for (auto& watched : m_watched) {
        if (watched.box == box)
            return &watched;
    }
    return nullptr;
}

bool FocusLossCheck::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::FocusOut || m_reminding)
        return false;
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return false;
    Watched* entry = find(watched);
    if (!entry || entry->pending)
        return false;
    // The check runs once the focus has settled, outside the focus change that is being delivered.
    entry->pending = true;
    QPointer<QLineEdit> box = entry->box;
    QTimer::singleShot(0, this, [this, box] {
        if (box)
            check(box);
    });
    return false;
}

void FocusLossCheck::checkPending()
{
    for (qsizetype i = 0; i < m_watched.size(); ++i) {
        if (m_watched[i].pending && m_watched[i].box)
            check(m_watched[i].box);
    }
}

void FocusLossCheck::check(QLineEdit* box)
{
    Watched* entry = find(box);
    if (!entry || !entry->pending) // checked already, when a click came first
        return;
    entry->pending = false;
    if (m_reminding || entry->test(box->text()))
        return;
    const QString message = entry->message;
    const QPointer<QLineEdit> guard = box;
    m_reminding = true;
    m_remind(message);
    if (guard)
        guard->setFocus(Qt::OtherFocusReason);
    m_reminding = false;
}

} // namespace ostrand
