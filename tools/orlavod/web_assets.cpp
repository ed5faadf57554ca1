#include "web_assets.h"

#include "web_page_files.h"

namespace orlavo::tools {

namespace {

std::string_view contentTypeOf(std::string_view path)
{
    if (path.ends_with(".html")) {
        return "text/html; charset=utf-8";
    }
    if (path.ends_with(".js")) {
        return "text/javascript; charset=utf-8";
    }
    if (path.ends_with(".css")) {
        return "text/css; charset=utf-8";
    }
    return "application/octet-stream";
}

}  // namespace

std::optional<WebAsset> webAsset(std::string_view path)
{
    const std::string_view wanted = path == "/" ? "/index.html" : path;
    for (const PageFile& file : pageFiles()) {
        if (file.path == wanted) {
            return WebAsset{contentTypeOf(file.path), file.bytes};
        }
    }
    return std::nullopt;
}

}  // namespace orlavo::tools
