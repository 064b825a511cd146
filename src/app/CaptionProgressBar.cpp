// SPDX-License-Identifier: MIT
#include "app/CaptionProgressBar.h"

namespace ostrand {

CaptionProgressBar::CaptionProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setRange(0, 100);
    setValue(0);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
}

void CaptionProgressBar::setCaption(const QString& caption)
{
    m_caption = caption;
    update();
    emit captionChanged(caption);
}

void CaptionProgressBar::setValueForNextFrame(int value)
{
    // With updates off the bar's own repaint does nothing; turning them on again asks for the paint.
    setUpdatesEnabled(false);
    setValue(value);
    setUpdatesEnabled(true);
}

} // namespace ostrand
