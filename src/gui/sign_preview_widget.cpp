#include "gui/sign_preview_widget.h"

#include <QFontMetrics>
#include <QPainter>

#include <cmath>

namespace orlavo::gui {

namespace {

QColor ledColour(signfeed::SignColour colour)
{
    switch (colour) {
    case signfeed::SignColour::Red:
        return {255, 48, 40};
    case signfeed::SignColour::Green:
        return {60, 255, 90};
    case signfeed::SignColour::Yellow:
        return {255, 214, 0};
    case signfeed::SignColour::Blue:
        return {70, 130, 255};
    case signfeed::SignColour::Magenta:
        return {255, 70, 255};
    case signfeed::SignColour::Cyan:
        return {0, 230, 255};
    case signfeed::SignColour::White:
        return {240, 240, 240};
    }
    return {255, 48, 40};
}

QFont ledFont()
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setBold(true);
    font.setPixelSize(22);
    return font;
}

constexpr int kGap = 48;     // pixels between two messages on the strip
constexpr int kMargin = 12;  // where the first message starts

}  // namespace

SignPreviewWidget::SignPreviewWidget(const signfeed::SignPreview& preview, QWidget* parent)
    : QWidget(parent), m_preview(preview)
{
    setAccessibleName(QStringLiteral("Sign preview"));
    setMinimumHeight(44);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_scroll.setInterval(33);
    m_scroll.setTimerType(Qt::PreciseTimer);
    connect(&m_scroll, &QTimer::timeout, this, &SignPreviewWidget::step);
    refresh();
}

QSize SignPreviewWidget::sizeHint() const
{
    return {480, 48};
}

void SignPreviewWidget::refresh()
{
    if (m_preview.shown() && !m_preview.shown()->messages.empty()) {
        if (!m_scroll.isActive()) {
            m_sinceStep.start();
            m_scroll.start();
        }
    } else {
        m_scroll.stop();
        m_offset = 0;
    }
    update();
}

void SignPreviewWidget::step()
{
    const auto& shown = m_preview.shown();
    const int speed = signfeed::scrollPixelsPerSecond(shown ? shown->speed : "");
    m_offset += speed * static_cast<double>(m_sinceStep.restart()) / 1000.0;
    update();
}

void SignPreviewWidget::paintEvent(QPaintEvent*)
{
    ++m_paints;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF strip = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QColor(60, 60, 60));
    p.setBrush(QColor(12, 12, 14));
    p.drawRoundedRect(strip, 6, 6);

    const QFont font = ledFont();
    p.setFont(font);
    const QFontMetrics metrics(font);
    const int baseline = (height() + metrics.ascent() - metrics.descent()) / 2;
    const auto& shown = m_preview.shown();
    if (!shown || shown->messages.empty()) {
        p.setPen(QColor(110, 110, 110));
        p.drawText(rect().adjusted(12, 0, -12, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   tr("Nothing sent to the sign yet"));
    } else {
        // The messages start at the left edge, run out to the left and come
        // round again from the right.
        int total = 0;
        for (const auto& message : shown->messages) {
            total += metrics.horizontalAdvance(QString::fromStdString(message.text)) + kGap;
        }
        const double cycle = total + width();
        double x0 = kMargin - std::fmod(m_offset, cycle);
        if (x0 + total < 0) {
            x0 += cycle;
        }
        for (double x = x0; x < width(); x += cycle) {
            double at = x;
            for (const auto& message : shown->messages) {
                const QString text = QString::fromStdString(message.text);
                p.setPen(ledColour(message.colour));
                p.drawText(QPointF(at, baseline), text);
                at += metrics.horizontalAdvance(text) + kGap;
            }
        }
    }
    if (!m_preview.progressText().empty()) {
        QFont small = p.font();
        small.setPixelSize(12);
        small.setBold(false);
        p.setFont(small);
        const QString text = QString::fromStdString(m_preview.progressText());
        const QRect box = QFontMetrics(small).boundingRect(text).adjusted(-8, -3, 8, 3);
        const QRect at(width() - box.width() - 6, 6, box.width(), box.height());
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 40, 46, 230));
        p.drawRoundedRect(at, 4, 4);
        p.setPen(QColor(220, 220, 220));
        p.drawText(at, Qt::AlignCenter, text);
    }
}

}  // namespace orlavo::gui
