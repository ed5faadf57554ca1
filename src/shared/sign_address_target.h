#pragma once
// What the discovery window needs of the main window: whether it sends to the
// sign over UDP, and handing it the address of a sign that was found.
#include <string>

namespace orlavo::signfeed {

class SignAddressTarget {
public:
    [[nodiscard]] virtual bool udpLinkOn() const = 0;
    virtual void useSignAddress(std::string address) = 0;

protected:
    ~SignAddressTarget() = default;
};

}  // namespace orlavo::signfeed
