// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QLineEdit;

namespace ostrand {

// Checks text boxes when the user moves the focus away from them: a text that fails its test brings a
// reminder and the focus back. One focus loss gives exactly one reminder: the focus moves that the reminder
// itself causes (the message box taking the focus, the focus coming back) are not checked again, and
// neither are the window losing activation or a context menu opening.
class FocusLossCheck : public QObject
{
    Q_OBJECT

public:
    using Test = std::function<bool(const QString& text)>;
    using Remind = std::function<void(const QString& message)>;

    FocusLossCheck(Remind remind, QObject* parent = nullptr);

    void watch(QLineEdit* box, Test test, const QString& message);
    // Runs now the check of a box the focus has just left: an action that took the focus (a button's click) comes
    // after its reminder, as a move of the focus to any other control does.
    void checkPending();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Watched
    {
        QPointer<QLineEdit> box;
        Test test;
        QString message;
        bool pending = false;
    };

    void check(QLineEdit* box);
    Watched* find(const QObject* box);

    Remind m_remind;
    QList<Watched> m_watched;
    bool m_reminding = false;
};

} // namespace ostrand
