#pragma once
// The sign preview panel: the last message set the sign got, each message in
// its colour on a dark LED-like strip, scrolling at the frame's speed, and
// "packet k of n" while a frame goes out in clock packets. It only paints
// what the SignPreview model holds.
#include "signfeed/sign_preview.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

namespace orlavo::gui {

class SignPreviewWidget final : public QWidget {
    Q_OBJECT

public:
    explicit SignPreviewWidget(const signfeed::SignPreview& preview, QWidget* parent = nullptr);
    // The model changed: repaint, and scroll only while there is something to show.
    void refresh();
    [[nodiscard]] QSize sizeHint() const override;
    // How many times the strip has been painted (for the repaint benchmark).
    [[nodiscard]] long paints() const { return m_paints; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void step();

    const signfeed::SignPreview& m_preview;
    QTimer m_scroll;
    QElapsedTimer m_sinceStep;
    double m_offset = 0;
    long m_paints = 0;
};

}  // namespace orlavo::gui
