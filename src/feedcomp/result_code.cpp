#include "pellix/result_code.h"

namespace pellix {

std::string resultText(ResultCode code)
{
    switch (code) {
    case ResultCode::Ok: return "Success.";
    case ResultCode::FileExists: return "The file already exists and may not be replaced.";
    case ResultCode::NothingToWrite: return "There is no downloaded body to write.";
    case ResultCode::WriteFailed: return "The file could not be written; the old file, if any, is unchanged.";
    case ResultCode::ReceiveFailed: return "The download failed while receiving.";
    case ResultCode::BodyTooLarge: return "The response body exceeded the size limit.";
    case ResultCode::HeaderTooLarge: return "The response header exceeded the size limit.";
    case ResultCode::TlsFailed: return "The secure connection failed.";
    case ResultCode::RedirectFailed: return "The redirect was not followed.";
    case ResultCode::TlsUnavailable: return "Secure connections could not be set up.";
    case ResultCode::SendFailed: return "The request could not be sent.";
    case ResultCode::NetworkNotReady: return "The network subsystem is not ready.";
    case ResultCode::VersionNotSupported: return "The requested socket version is not supported.";
    case ResultCode::BlockingCallInProgress: return "A blocking socket operation is in progress.";
    case ResultCode::TaskLimitReached: return "The limit on socket tasks has been reached.";
    case ResultCode::BadStartupParameter: return "A bad parameter was passed to the socket start-up.";
    case ResultCode::NotOnline: return "The computer is not online.";
    case ResultCode::ProxyInUse: return "The connection runs through a proxy; direct downloads are not possible.";
    case ResultCode::SocketFailed: return "Could not create a socket. Error ";
    case ResultCode::ConnectFailed: return "Could not connect to the server. Error ";
    case ResultCode::RegisterFailed: return "Could not watch the connection for data. Error ";
    case ResultCode::LookupFailed: return "The server's host name could not be resolved.";
    case ResultCode::EmptyHost: return "The URL names no host.";
    case ResultCode::BadUrl: return "The URL is not valid: it needs a host, a \"/\" and a path.";
    case ResultCode::StartupFailed: return "The socket library could not be started.";
    case ResultCode::UnsupportedScheme: return "Only http:// and https:// URLs can be downloaded.";
    case ResultCode::FileUnreadable: return "The feed file could not be read.";
    case ResultCode::OutOfMemory: return "There was not enough memory.";
    }
    return "Unknown result code " + std::to_string(static_cast<int>(code)) + ".";
}

}  // namespace pellix
