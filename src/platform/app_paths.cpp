#include "platform/app_paths.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

#include <unistd.h>
#include <system_error>

namespace orlavo::platform {

namespace fs = std::filesystem;

fs::path executableDir()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : exe.parent_path();
}

fs::path userConfigDir()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg == '/') {
        return fs::path(xdg) / "orlavo";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr ? home : ".") / ".config" / "orlavo";
}

fs::path controlSocketPath()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime == '/') {
        return fs::path(runtime) / "orlavo" / "control.sock";
    }
    return fs::path("/tmp") / ("orlavo-" + std::to_string(::geteuid())) / "control.sock";
}

std::optional<std::string> createParentDir(const fs::path& file)
{
    std::error_code ec;
    const fs::path dir = file.parent_path();
    if (dir.empty() || fs::exists(dir, ec)) {
        return std::nullopt;
    }
    fs::create_directories(dir, ec);
    if (ec) {
        return "cannot create " + dir.string() + ": " + ec.message();
    }
    return std::nullopt;
}

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

}  // namespace orlavo::platform
