#pragma once

namespace orlavo::tools {

// The demo: the bundled feed from a web server on 127.0.0.1, a sign emulator
// on 127.0.0.2, a temporary settings file aimed at it, one update, and what
// the sign shows on stdout. Only loopback is ever used. Exit 0 when the sign
// showed the headlines.
[[nodiscard]] int runDemo();

}  // namespace orlavo::tools
