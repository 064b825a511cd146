// SPDX-License-Identifier: MIT
#pragma once

#include <QRadioButton>

namespace ostrand {

// An option button that a click selects anywhere in the rectangle the window's design gives it, as on the desktop
// the window was designed for; Qt's own answers only over its circle and caption.
class OptionButton : public QRadioButton
{
public:
    using QRadioButton::QRadioButton;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

} // namespace ostrand
