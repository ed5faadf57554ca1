#pragma once
// What the web control reaches of the signs, on the loop: the board's views
// and commands, and each sign's window for its settings. The service hands
// it the sign board; the tests hand it programs on fakes.
#include "sign_board.h"

#include "platform/whole_file.h"
#include "signfeed/main_window_model.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlavo::tools {

class WebSigns {
public:
    using Listener = std::function<void(const std::string& sign)>;

    virtual ~WebSigns() = default;
    [[nodiscard]] virtual std::vector<SignView> signs() const = 0;
    [[nodiscard]] virtual std::optional<SignView> sign(std::string_view name) const = 0;
    [[nodiscard]] virtual BoardReply announce(std::string_view sign, std::string_view text, int minutes) = 0;
    [[nodiscard]] virtual BoardReply clearAnnouncement(std::string_view sign) = 0;
    [[nodiscard]] virtual BoardReply updateNow(std::string_view sign) = 0;
    // The sign's window, whose edits store its settings; nullptr for an unknown name.
    [[nodiscard]] virtual signfeed::MainWindowModel* window(std::string_view sign) = 0;
    // The sign's settings file as it is now, for a discovery on a copy of it.
    [[nodiscard]] virtual std::optional<std::string> settingsBytes(std::string_view sign) = 0;
    virtual void changed(const std::string& sign) = 0;
    virtual std::uint64_t listen(Listener listener) = 0;
    virtual void unlisten(std::uint64_t id) = 0;
};

// The service's signs, through its board.
class BoardSigns final : public WebSigns {
public:
    explicit BoardSigns(SignBoard& board) : m_board(board) {}

    [[nodiscard]] std::vector<SignView> signs() const override { return m_board.signs(); }
    [[nodiscard]] std::optional<SignView> sign(std::string_view name) const override { return m_board.sign(name); }
    [[nodiscard]] BoardReply announce(std::string_view sign, std::string_view text, int minutes) override
    {
        return m_board.announce(sign, text, minutes);
    }
    [[nodiscard]] BoardReply clearAnnouncement(std::string_view sign) override
    {
        return m_board.clearAnnouncement(sign);
    }
    [[nodiscard]] BoardReply updateNow(std::string_view sign) override { return m_board.updateNow(sign); }
    [[nodiscard]] signfeed::MainWindowModel* window(std::string_view sign) override
    {
        SignSet::Sign* found = m_board.set().find(sign);
        return found != nullptr ? &found->program.window() : nullptr;
    }
    [[nodiscard]] std::optional<std::string> settingsBytes(std::string_view sign) override
    {
        SignSet::Sign* found = m_board.set().find(sign);
        return found != nullptr ? platform::readWholeFile(found->settingsPath, platform::kMaxProfileBytes)
                                : std::nullopt;
    }
    void changed(const std::string& sign) override { m_board.changed(sign); }
    std::uint64_t listen(Listener listener) override { return m_board.listen(std::move(listener)); }
    void unlisten(std::uint64_t id) override { m_board.unlisten(id); }

private:
    SignBoard& m_board;
};

}  // namespace orlavo::tools
