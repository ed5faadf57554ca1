// orlavo: the desktop program that puts feed headlines on LED signs.
#include "gui/desktop_program.h"
#include "gui/discovery_session.h"
#include "gui/web_engine_sandbox.h"
#include "platform/app_paths.h"
#include "shared/settings.h"

#include "orlavo_version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include <cstdio>
#include <optional>

int main(int argc, char** argv)
{
    using namespace orlavo;
    gui::blockTerminationSignals();
    gui::prepareWebEngineSandbox(platform::runningAsRoot());
    // The browser window's web engine shares its contexts with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orlavo"));
    QApplication::setApplicationVersion(QStringLiteral(ORLAVO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("orlavo"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Puts the headlines of news feeds on LED message signs."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settingsOption(QStringLiteral("settings"),
                                            QStringLiteral("The settings file (default: data.ini beside the "
                                                           "program when writable, else ~/.config/orlavo/data.ini)."),
                                            QStringLiteral("path"));
    parser.addOption(settingsOption);
    // Bad arguments exit 2, as with orlavod and the other tools.
    if (!parser.parse(QApplication::arguments()) || !parser.positionalArguments().isEmpty()) {
        const QString what = parser.positionalArguments().isEmpty()
                                 ? parser.errorText()
                                 : QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first());
        std::fprintf(stderr, "orlavo: %s\n%s", qPrintable(what), qPrintable(parser.helpText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        parser.showHelp(0);
    }
    if (parser.isSet(QStringLiteral("version"))) {
        parser.showVersion();
    }

    std::optional<std::filesystem::path> explicitPath;
    if (parser.isSet(settingsOption)) {
        explicitPath = parser.value(settingsOption).toStdString();
    }
    const std::filesystem::path settingsPath =
        signfeed::resolveSettingsPath(explicitPath, platform::executableDir());
    // Running on defaults would send to the default feeds and broadcast.
    std::optional<std::string> failure;
    if (auto unreadable = platform::DiskProfileFile(settingsPath).readFailure()) {
        failure = "The settings file was not read, so nothing was sent or written:\n" + unreadable->description;
    } else if (auto noDir = platform::createParentDir(settingsPath)) {
        failure = *noDir;
    }
    if (failure) {
        QMessageBox::critical(nullptr, QStringLiteral("Velmor RSS Feed Display"), QString::fromStdString(*failure));
        return 2;
    }

    gui::DesktopProgram program(
        settingsPath,
        [](QWidget* parent, gui::DesktopProgram& desktop) {
            gui::runDiscoveryDialog(parent, gui::DiscoveryDialogPorts{desktop.clock(), desktop.loop(),
                                                                      desktop.settings(), desktop.messages(),
                                                                      desktop.feed().window()});
        },
        platform::userConfigDir() / "orlavo.conf");
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&program] { program.finish(); });
    program.start();
    return QApplication::exec();
}
