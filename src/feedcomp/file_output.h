#pragma once
// Saving a downloaded body to disk and reading a local feed file. A file is
// only ever replaced whole (temporary file, sync, rename), so a failed write
// leaves what was there before.
#include "feedcomp/body.h"
#include "pellix/result_code.h"

#include <cstddef>
#include <string>

namespace pellix::detail {

enum class BodyFormat {
    Text,    // the bytes as received, bare LF turned into CR LF
    Binary,  // the bytes exactly as received
};

struct WriteOutcome {
    ResultCode code = ResultCode::Ok;
    std::string error;  // for WriteFailed: what went wrong, for the user
};

// FileExists when path is an existing file (not a directory) and ifDelete is
// false; NothingToWrite for an empty body; WriteFailed when the target is
// read-only or the write fails; otherwise Ok.
[[nodiscard]] WriteOutcome writeBodyFile(const std::string& path, bool ifDelete, const Body& body,
                                         BodyFormat format);

// A local feed is held whole in memory, as a downloaded body is; the bound is
// the download's default body limit.
inline constexpr std::size_t kMaxLocalDocumentBytes = 64u << 20;

// The file's bytes, unconverted; empty when it cannot be read, is not a
// regular file or is larger than kMaxLocalDocumentBytes. Read-only files are
// read without changing their permissions.
[[nodiscard]] std::string readLocalFile(const std::string& path);

}  // namespace pellix::detail
