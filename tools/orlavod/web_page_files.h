#pragma once
// The page's files as built into the program (generated from web/page/).
#include <span>
#include <string_view>

namespace orlavo::tools {

struct PageFile {
    std::string_view path;  // "/index.html", "/app.js", ...
    std::string_view bytes;
};

[[nodiscard]] std::span<const PageFile> pageFiles();

}  // namespace orlavo::tools
