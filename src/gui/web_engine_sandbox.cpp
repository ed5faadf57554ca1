#include "gui/web_engine_sandbox.h"

#include <QByteArray>
#include <QtGlobal>

namespace orlavo::gui {

namespace {

constexpr const char* kDisableSandbox = "QTWEBENGINE_DISABLE_SANDBOX";

}  // namespace

void prepareWebEngineSandbox(bool runningAsRoot)
{
    if (runningAsRoot && !webEngineSandboxOff()) {
        qputenv(kDisableSandbox, "1");
    }
}

bool webEngineSandboxOff()
{
    const QByteArray disabled = qgetenv(kDisableSandbox);
    return (!disabled.isEmpty() && disabled != "0") ||
           qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").contains("--no-sandbox");
}

}  // namespace orlavo::gui
