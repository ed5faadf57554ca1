#pragma once
/// @file
/// The feed control's result codes. Hosts compare against these numbers, so
/// every value is fixed; new codes only ever get new numbers.
#include <cstdint>
#include <string>

#include "pellix/export.h"

namespace pellix {

/// Result codes of RSSComp's members, OnFinish and ParseFeed.
enum class ResultCode : std::int32_t {
    Ok = 0,
    /// File output (WriteTextFile, WriteBinaryFile).
    FileExists = 1,
    NothingToWrite = 2,
    WriteFailed = 3,
    /// OnFinish values that are not an HTTP status.
    ReceiveFailed = -1,   ///< socket error, timeout or a body cut short
    BodyTooLarge = -2,
    HeaderTooLarge = -3,
    TlsFailed = -4,       ///< https: handshake, certificate or host check failed, or timed out
    RedirectFailed = -5,  ///< a redirect that may not or cannot be followed
    /// RequestFile and OpenComm.
    SendFailed = 99,
    NetworkNotReady = 101,
    VersionNotSupported = 102,
    BlockingCallInProgress = 103,
    TaskLimitReached = 104,
    BadStartupParameter = 105,
    NotOnline = 106,
    ProxyInUse = 107,
    SocketFailed = 109,
    ConnectFailed = 110,
    RegisterFailed = 111,
    LookupFailed = 112,
    EmptyHost = 113,
    BadUrl = 114,
    StartupFailed = 115,
    UnsupportedScheme = 116,
    TlsUnavailable = 117,  ///< https: TLS could not be set up (e.g. an unreadable CA file)
    /// ParseFeed, ParseFeedFile and any member that ran out of memory.
    FileUnreadable = 118,
    OutOfMemory = 119,
};

static_assert(static_cast<int>(ResultCode::Ok) == 0);
static_assert(static_cast<int>(ResultCode::FileExists) == 1);
static_assert(static_cast<int>(ResultCode::NothingToWrite) == 2);
static_assert(static_cast<int>(ResultCode::WriteFailed) == 3);
static_assert(static_cast<int>(ResultCode::ReceiveFailed) == -1);
static_assert(static_cast<int>(ResultCode::BodyTooLarge) == -2);
static_assert(static_cast<int>(ResultCode::HeaderTooLarge) == -3);
static_assert(static_cast<int>(ResultCode::TlsFailed) == -4);
static_assert(static_cast<int>(ResultCode::RedirectFailed) == -5);
static_assert(static_cast<int>(ResultCode::SendFailed) == 99);
static_assert(static_cast<int>(ResultCode::NetworkNotReady) == 101);
static_assert(static_cast<int>(ResultCode::VersionNotSupported) == 102);
static_assert(static_cast<int>(ResultCode::BlockingCallInProgress) == 103);
static_assert(static_cast<int>(ResultCode::TaskLimitReached) == 104);
static_assert(static_cast<int>(ResultCode::BadStartupParameter) == 105);
static_assert(static_cast<int>(ResultCode::NotOnline) == 106);
static_assert(static_cast<int>(ResultCode::ProxyInUse) == 107);
static_assert(static_cast<int>(ResultCode::SocketFailed) == 109);
static_assert(static_cast<int>(ResultCode::ConnectFailed) == 110);
static_assert(static_cast<int>(ResultCode::RegisterFailed) == 111);
static_assert(static_cast<int>(ResultCode::LookupFailed) == 112);
static_assert(static_cast<int>(ResultCode::EmptyHost) == 113);
static_assert(static_cast<int>(ResultCode::BadUrl) == 114);
static_assert(static_cast<int>(ResultCode::StartupFailed) == 115);
static_assert(static_cast<int>(ResultCode::UnsupportedScheme) == 116);
static_assert(static_cast<int>(ResultCode::TlsUnavailable) == 117);
static_assert(static_cast<int>(ResultCode::FileUnreadable) == 118);
static_assert(static_cast<int>(ResultCode::OutOfMemory) == 119);

/// The number a member returns for code.
[[nodiscard]] constexpr std::int32_t toInt(ResultCode code)
{
    return static_cast<std::int32_t>(code);
}

/// The sentence a host shows for a code; a generic text for unknown numbers.
[[nodiscard]] PELLIX_API std::string resultText(ResultCode code);

}  // namespace pellix
