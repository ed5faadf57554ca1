// GoogleTest inside a QApplication, so widgets and Qt's event loop exist.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // The web engine shares its GL contexts with the widgets; Qt wants this
    // said before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
