#pragma once
// Following redirects, for hosts that turned FollowRedirects on: each hop is
// a new request on the same control, and the hops' status texts are kept so
// the final OnFinish still tells the whole way.
#include <cstdint>
#include <string>

namespace pellix::detail {

struct RedirectStep {
    enum class Kind {
        Answer,   // not a redirect to follow: the response is the download's answer
        Refused,  // a redirect that ends the download; text says why
        Follow,   // request next
    };
    Kind kind = Kind::Answer;
    std::string next;
    std::string text;
    bool moved = false;  // every hop so far, this one included, was permanent
};

class RedirectFollower {
public:
    void setEnabled(bool on) { m_enabled = on; }
    // A new download: no hops, no trail, no moved URL.
    void reset();
    // What to do with the finished response to url; a Follow counts the hop.
    [[nodiscard]] RedirectStep consider(const std::string& url, std::int32_t status, const std::string& statusText,
                                        const std::string& location);
    // The followed hop's request starts: MovedUrl now names its target while
    // every hop was permanent.
    void enter(const RedirectStep& step);

    [[nodiscard]] bool onFirstRequest() const { return m_hops == 0; }
    [[nodiscard]] const std::string& movedUrl() const { return m_movedUrl; }
    // Each hop's text and "; ", ahead of the final status text.
    [[nodiscard]] const std::string& trail() const { return m_trail; }
    [[nodiscard]] std::string hopFailedText(const std::string& next, const std::string& why) const;

private:
    bool m_enabled = false;
    int m_hops = 0;
    std::string m_movedUrl;
    std::string m_trail;
};

}  // namespace pellix::detail
