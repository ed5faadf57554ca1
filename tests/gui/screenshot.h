#pragma once
// Renders a window to a PNG in the build's screenshot folder (the docs'
// pictures are copied from there by scripts/update-screenshots.sh).
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

namespace orlavo::testing {

inline QImage saveScreenshot(QWidget& window, const QString& name)
{
    QDir().mkpath(QStringLiteral(ORLAVO_SCREENSHOT_DIR));
    // The rig's model loop is not Qt's: lay the window out for the texts the
    // model set since the last pass, as Qt's loop would before painting.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QImage image = window.grab().toImage();
    const QString path = QStringLiteral(ORLAVO_SCREENSHOT_DIR "/") + name + QStringLiteral(".png");
    EXPECT_TRUE(image.save(path)) << path.toStdString();
    return image;
}

// True when the picture holds more than a couple of colours: a window that
// failed to paint comes out blank.
inline bool looksPainted(const QImage& image)
{
    QList<QRgb> seen;
    for (int y = 0; y < image.height(); y += 7) {
        for (int x = 0; x < image.width(); x += 7) {
            const QRgb pixel = image.pixel(x, y);
            if (!seen.contains(pixel) && seen.size() < 16) {
                seen.push_back(pixel);
            }
        }
    }
    return seen.size() >= 8;
}

}  // namespace orlavo::testing
