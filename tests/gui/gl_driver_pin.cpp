// The web engine needs GL, so under a virtual X server the xcb platform loads
// Mesa's software driver (dri/swrast_dri.so) and unloads it at exit, while an
// allocation is still referenced only from the driver's own data. LeakSanitizer
// then reports it as a leak from an unloaded module, which no suppression can
// name. Loaded here first and never unloaded, the driver's data stay mapped and
// the allocation stays reachable. Tests that need no GL run with the GL
// integration off instead (QT_XCB_GL_INTEGRATION=none).
#include <dlfcn.h>
#include <link.h>

#include <climits>
#include <string>

namespace {

[[maybe_unused]] const bool kDriverPinned = [] {
    // The drivers sit beside Mesa's GLX library; without Mesa nothing of it can leak.
    void* glx = ::dlopen("libGLX_mesa.so.0", RTLD_NOW | RTLD_NODELETE);
    char directory[PATH_MAX] = {};
    if (glx == nullptr || ::dlinfo(glx, RTLD_DI_ORIGIN, directory) != 0) {
        return false;
    }
    return ::dlopen((std::string(directory) + "/dri/swrast_dri.so").c_str(), RTLD_NOW | RTLD_NODELETE) != nullptr;
}();

}  // namespace
