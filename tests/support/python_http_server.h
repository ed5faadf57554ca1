#pragma once
// The standard library's HTTP/1.0 file server (python3 -m http.server) on
// 127.0.0.1 and an ephemeral port, serving one directory. It stands for an
// ordinary web server: real status lines, headers and redirects.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace orlavo::testing {

class PythonHttpServer {
public:
    explicit PythonHttpServer(const std::filesystem::path& root);
    ~PythonHttpServer();
    PythonHttpServer(const PythonHttpServer&) = delete;
    PythonHttpServer& operator=(const PythonHttpServer&) = delete;

    // False when python3 is missing or the server did not report its port.
    [[nodiscard]] bool running() const { return m_port != 0; }
    [[nodiscard]] std::uint16_t port() const { return m_port; }
    [[nodiscard]] std::string url(std::string_view path) const;

private:
    int m_pid = -1;
    int m_outputFd = -1;
    std::uint16_t m_port = 0;
};

}  // namespace orlavo::testing
