#include "platform/resolver.h"

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace orlavo::platform {

namespace {

// Shared between the caller and the helper thread; whoever leaves last frees it.
struct PendingLookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    LookupResult result;
};

}  // namespace

LookupResult lookupNow(const std::string& host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    LookupResult result;
    int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &list);
    if (rc != 0) {
        result.error = ::gai_strerror(rc);
        return result;
    }
    for (addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
        IpAddress address;
        if (ai->ai_family == AF_INET) {
            const auto* sin = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
            std::memcpy(address.bytes.data(), &sin->sin_addr, 4);
        } else if (ai->ai_family == AF_INET6) {
            const auto* sin6 = reinterpret_cast<const sockaddr_in6*>(ai->ai_addr);
            address.v6 = true;
            std::memcpy(address.bytes.data(), &sin6->sin6_addr, 16);
        } else {
            continue;
        }
        if (std::find(result.addresses.begin(), result.addresses.end(), address) == result.addresses.end()) {
            result.addresses.push_back(address);
        }
    }
    ::freeaddrinfo(list);
    // The first IPv4 address is the one tried first, as hosts have always had it.
    std::stable_partition(result.addresses.begin(), result.addresses.end(),
                          [](const IpAddress& a) { return !a.v6; });
    result.status = result.addresses.empty() ? LookupStatus::NotFound : LookupStatus::Found;
    return result;
}

}  // namespace orlavo::platform

namespace pellix {

using orlavo::platform::PendingLookup;
using orlavo::platform::lookupNow;

LookupResult SystemResolver::lookup(const std::string& host, std::int64_t timeoutMs)
{
    if (auto literal = parseIpLiteral(host)) {
        return LookupResult{LookupStatus::Found, {*literal}, {}};
    }
    auto pending = std::make_shared<PendingLookup>();
    try {
        std::thread([pending, host] {
            LookupResult result = lookupNow(host);
            std::lock_guard lock(pending->mutex);
            pending->result = std::move(result);
            pending->finished = true;
            pending->done.notify_all();
        }).detach();
    } catch (const std::system_error& error) {
        return LookupResult{LookupStatus::NotFound, {}, error.what()};
    }
    std::unique_lock lock(pending->mutex);
    if (!pending->done.wait_for(lock, std::chrono::milliseconds(std::max<std::int64_t>(timeoutMs, 0)),
                                [&] { return pending->finished; })) {
        return LookupResult{LookupStatus::TimedOut, {}, "lookup timed out"};
    }
    return pending->result;
}

}  // namespace pellix
