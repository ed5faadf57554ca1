#pragma once
// The message composer: turns the document of a finished download into one
// text-message frame with a coloured message per item, within the item limit
// and the 1100-character budget, sends it over the links that are on and
// drives the window's status labels and preview while it works.
#include "platform/clock.h"
#include "signfeed/main_window_model.h"
#include "signfeed/sign_link.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace pellix {
class RSSFile;
}

namespace orlavo::signfeed {

// Item text counted against the budget, in characters.
inline constexpr std::size_t kMessageBudget = 1100;

// How the download that feeds this run ended; a failure is shown instead of
// a plain "Last Update".
struct DownloadOutcome {
    bool finished = true;     // the control reported a clean end
    std::int32_t status = 200;
    std::string statusText;   // the server's reason phrase or the failure's text
};

struct ComposeResult {
    std::int32_t itemCount = 0;  // as the document factory reported it
    long itemsUsed = 0;          // the limit the budget pass settled on
    long itemsShown = 0;         // items whose text went into the frame
    std::string frame;           // empty when nothing was built
    bool sent = false;
    // Why a document with items sent nothing ("the message limit is 0: nothing
    // to send"); empty when it was sent or the download itself failed.
    std::string notSentReason;
};

class Composer {
public:
    // Builds a new document from the current body, or null; n receives the
    // item count (below 1 when there is nothing to show).
    using DocumentSource = std::function<std::shared_ptr<pellix::RSSFile>(bool stripTags, std::int32_t& n)>;

    Composer(MainWindowModel& window, SignLink& link, platform::Clock& clock);

    ComposeResult run(const DocumentSource& source, const DownloadOutcome& outcome);
    // The frame with no headline, sent as the sign needs it: a sign outside
    // its hours shows nothing.
    void sendBlank();
    // A sentence added to the status of a failed update, asked for as it
    // ends (the update cycle says since when the headlines are old).
    void setFailureNote(std::function<std::string()> note) { m_failureNote = std::move(note); }

private:
    long budgetPass(const pellix::RSSFile& doc, long limit) const;
    std::string messagePass(const pellix::RSSFile& doc, long limit, long& shown);
    [[nodiscard]] std::string buildFrame(const std::string& messages) const;
    void finish(const DownloadOutcome& outcome, std::int32_t itemCount, const std::string& sendFailure);

    MainWindowModel& m_window;
    SignLink& m_link;
    platform::Clock& m_clock;
    std::function<std::string()> m_failureNote;
};

// The cleaned item text of item i, as both passes compute it.
[[nodiscard]] std::string composedItemText(const pellix::RSSFile& doc, std::int32_t i);

// Why an update failed, or empty when it succeeded.
[[nodiscard]] std::string failureReason(const DownloadOutcome& outcome, std::int32_t itemCount);

}  // namespace orlavo::signfeed
