#include "gui/file_menu.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace orlavo::gui {

void addFileMenu(QMainWindow& window, FileMenuActions actions)
{
    auto* file = new QMenu(QStringLiteral("&File"), &window);
    window.menuBar()->insertMenu(window.menuBar()->actions().value(0), file);
    QAction* open = file->addAction(QStringLiteral("&Open..."), &window, [&window, actions] {
        // Qt's own dialog, so it looks and types the same on every desktop.
        const QString path = QFileDialog::getOpenFileName(
            &window, QStringLiteral("Open Settings File"), QFileInfo(actions.current()).absolutePath(),
            QStringLiteral("Settings files (*.ini);;All files (*)"), nullptr, QFileDialog::DontUseNativeDialog);
        if (!path.isEmpty()) {
            actions.open(path);
        }
    });
    open->setShortcut(QKeySequence::Open);
    QMenu* recent = file->addMenu(QStringLiteral("Open &Recent"));
    // Filled as it opens, so it always shows the list as it is now.
    QObject::connect(recent, &QMenu::aboutToShow, recent, [recent, actions] {
        recent->clear();
        const QStringList paths = actions.recent();
        for (int i = 0; i < paths.size(); ++i) {
            const QString path = paths[i];
            recent->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(path).replace(QLatin1Char('&'), QStringLiteral("&&"))), recent,
                              [actions, path] { actions.open(path); });
        }
        if (paths.isEmpty()) {
            recent->addAction(QStringLiteral("(none)"))->setEnabled(false);
        }
    });
}

}  // namespace orlavo::gui
