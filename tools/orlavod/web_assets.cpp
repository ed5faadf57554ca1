#include "web_assets.h"

namespace orlavo::tools {

std::optional<WebAsset> webAsset(std::string_view path)
{
    if (path == "/") {
        return WebAsset{"text/html; charset=utf-8", "<!doctype html><title>orlavod</title><p>orlavod</p>\n"};
    }
    return std::nullopt;
}

}  // namespace orlavo::tools
