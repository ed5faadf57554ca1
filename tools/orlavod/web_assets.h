#pragma once
// The web page's files, built into the program: no files to install, no CDN.
#include <optional>
#include <string_view>

namespace orlavo::tools {

struct WebAsset {
    std::string_view contentType;  // "text/html; charset=utf-8", ...
    std::string_view body;
};

// The file served at path ("/", "/app.js", "/style.css", ...); empty for any other path.
[[nodiscard]] std::optional<WebAsset> webAsset(std::string_view path);

}  // namespace orlavo::tools
