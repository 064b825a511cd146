// SPDX-License-Identifier: MIT
#pragma once

#include <QProgressBar>

namespace ostrand {

// A progress bar that shows a caption of its own instead of a percentage. The caption is shown exactly as
// given: a file name holding "%p" or "%v" stays as it is.
class CaptionProgressBar : public QProgressBar
{
    Q_OBJECT

public:
    explicit CaptionProgressBar(QWidget* parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);
    // Takes the value at once and paints it with the window's next frame. QProgressBar::setValue paints the
    // bar there and then, which a run that sets it a few times per file cannot afford.
    void setValueForNextFrame(int value);
    QString text() const override { return m_caption; }

signals:
    // Every setting of the caption, also to the text it already had.
    void captionChanged(const QString& caption);

private:
    QString m_caption;
};

} // namespace ostrand
