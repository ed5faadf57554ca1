#include "feedcomp/file_output.h"

#include "platform/atomic_file.h"
#include "platform/whole_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace pellix::detail {

namespace {

namespace fs = std::filesystem;

bool isExistingFile(const fs::path& path)
{
    std::error_code ec;
    auto status = fs::status(path, ec);
    return !ec && fs::exists(status) && !fs::is_directory(status);
}

// Nobody may write it: replacing it anyway would defeat the owner's intent,
// whoever we run as.
bool isReadOnly(const fs::path& path)
{
    std::error_code ec;
    auto perms = fs::status(path, ec).permissions();
    constexpr auto kWriteBits = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return !ec && (perms & kWriteBits) == fs::perms::none;
}

WriteOutcome failed(std::string error)
{
    return WriteOutcome{ResultCode::WriteFailed, std::move(error)};
}

WriteOutcome writeChunks(const std::string& path, const Body& body, BodyFormat format)
{
    orlavo::platform::AtomicFileWriter writer;
    if (auto error = writer.open(path)) {
        return failed(error->description);
    }
    CrlfConverter converter;
    // Converted a piece at a time, so a large text body is never copied whole.
    constexpr std::size_t kPiece = 1u << 20;
    const std::string_view bytes = body.bytes();
    for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
        const std::string_view piece = bytes.substr(at, kPiece);
        auto error = format == BodyFormat::Text ? writer.write(converter.convert(piece)) : writer.write(piece);
        if (error) {
            return failed(error->description);
        }
    }
    if (auto error = writer.commit()) {
        return failed(error->description);
    }
    return WriteOutcome{};
}

}  // namespace

WriteOutcome writeBodyFile(const std::string& path, bool ifDelete, const Body& body, BodyFormat format)
{
    const bool exists = isExistingFile(path);
    if (exists && !ifDelete) {
        return WriteOutcome{ResultCode::FileExists, {}};
    }
    if (body.empty()) {
        return WriteOutcome{ResultCode::NothingToWrite, {}};
    }
    if (exists && isReadOnly(path)) {
        return failed(path + " is read-only");
    }
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        return failed(path + " is a directory");
    }
    return writeChunks(path, body, format);
}

// Only a regular file is a document: a device such as /dev/zero never ends and
// a pipe without a writer never opens. Its size is bounded like a download's body.
std::string readLocalFile(const std::string& path)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        return {};
    }
    return orlavo::platform::readWholeFile(path, kMaxLocalDocumentBytes).value_or(std::string());
}

}  // namespace pellix::detail
