#pragma once
// The main window's File menu: Open (a file dialog) and Open Recent. What
// opening means is the desktop program's; the menu only asks for a path.
#include <QString>
#include <QStringList>

#include <functional>

class QMainWindow;

namespace orlavo::gui {

struct FileMenuActions {
    std::function<QString()> current;      // the settings file open now
    std::function<QStringList()> recent;   // newest first
    std::function<void(const QString&)> open;
};

// Adds the menu in front of the window's other menus.
void addFileMenu(QMainWindow& window, FileMenuActions actions);

}  // namespace orlavo::gui
