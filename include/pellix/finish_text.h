#pragma once
/// @file
/// Words for how a download ended, for people: OnFinish reports a socket error
/// as its bare number and a response without a status line as status 0, which
/// callers keep relying on; this turns such values into a sentence fragment.
#include "pellix/export.h"

#include <cstdint>
#include <string>

namespace pellix {

/// "connection reset by the server (104)", "the server sent no HTTP response",
/// "404 Not Found", "Timed out: the server sent nothing for 30 s" (no final
/// full stop, so it can be embedded in a sentence).
[[nodiscard]] PELLIX_API std::string DescribeFinish(std::int32_t status, const std::string& text);

/// "unknown character set "x-foo": read as UTF-8 with windows-1252 fallback",
/// for the name RSSComp::CharsetFallback gave.
[[nodiscard]] PELLIX_API std::string DescribeCharsetFallback(const std::string& charset);

}  // namespace pellix
