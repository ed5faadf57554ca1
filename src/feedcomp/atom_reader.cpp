#include "feedcomp/atom_reader.h"

#include "platform/ascii.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace pellix::detail {

namespace {

// Channel indices the feed's elements fill.
constexpr int kTitle = 0;
constexpr int kLink = 1;
constexpr int kDescription = 2;
constexpr int kCopyright = 4;
constexpr int kLastBuildDate = 8;

constexpr std::string_view kAtomNamespace = "http://www.w3.org/2005/atom";  // lower case, as searched

// Where comments and CDATA sections lie in the whole text, [begin, end) each,
// in order: what they hold is text, never an element.
struct Section {
    std::size_t begin = 0;
    std::size_t end = 0;
};
using Sections = std::vector<Section>;

// Positions inside one region of the text; lower is the same region in lower
// case, so searches ignore case and values keep theirs. prefix is what the
// feed's element names start with ("atom:" when it binds the namespace to
// a prefix, else empty). base is where the region starts in the whole text.
struct Region {
    std::string_view lower;
    std::string_view text;
    std::string_view prefix;
    const Sections* sections = nullptr;
    std::size_t base = 0;
    [[nodiscard]] Region sub(std::size_t from, std::size_t to) const
    {
        return {lower.substr(from, to - from), text.substr(from, to - from), prefix, sections, base + from};
    }
};

// Every comment and CDATA section that has its end before the next one of its
// kind begins; one without is left as text. Neither kind can hold the start
// of another in a well-formed feed, so a start met first means this end was
// lost (StripTags drops the character after "</a>", which may be the "]" of
// "]]>"), and the section must not run on through the entries after it.
Sections findSections(std::string_view text)
{
    struct Kind {
        std::string_view open;
        std::string_view close;
        std::size_t nextOpen = 0;   // where its next start lies, npos for none
        std::size_t nextClose = 0;  // where its next end lies, once looked for
    };
    std::array<Kind, 2> kinds{{{"<!--", "-->"}, {"<![CDATA[", "]]>"}}};
    for (Kind& kind : kinds) {
        kind.nextOpen = text.find(kind.open);
    }
    Sections sections;
    std::size_t at = 0;
    while (true) {
        for (Kind& kind : kinds) {
            if (kind.nextOpen < at) {
                kind.nextOpen = text.find(kind.open, at);
            }
        }
        Kind& kind = kinds[0].nextOpen < kinds[1].nextOpen ? kinds[0] : kinds[1];
        const std::size_t open = kind.nextOpen;
        if (open == std::string_view::npos) {
            return sections;
        }
        // Each search goes on from the last, so the scan stays linear.
        const std::size_t body = open + kind.open.size();
        if (kind.nextClose < body) {
            kind.nextClose = text.find(kind.close, body);
        }
        kind.nextOpen = text.find(kind.open, body);
        if (kind.nextClose == std::string_view::npos || kind.nextOpen < kind.nextClose) {
            continue;
        }
        at = kind.nextClose + kind.close.size();
        sections.push_back({open, at});
    }
}

// The first needle in r at or after from that lies outside every section.
std::size_t findMarkup(const Region& r, std::string_view needle, std::size_t from)
{
    const Sections& sections = *r.sections;
    for (std::size_t at = r.lower.find(needle, from); at != std::string_view::npos;) {
        const std::size_t absolute = r.base + at;
        auto after = std::upper_bound(sections.begin(), sections.end(), absolute,
                                      [](std::size_t pos, const Section& s) { return pos < s.begin; });
        if (after == sections.begin() || std::prev(after)->end <= absolute) {
            return at;
        }
        at = r.lower.find(needle, std::prev(after)->end - r.base);
    }
    return std::string_view::npos;
}

// A value as the document gives it: the CDATA markers go, as RSS's own
// replacements remove them, "<![CDATA[" first.
void appendValue(std::string& out, std::string_view value)
{
    constexpr std::string_view kCdata = "<![CDATA[";
    constexpr std::string_view kCdataEnd = "]]>";
    if (value.find(kCdata) == std::string_view::npos && value.find(kCdataEnd) == std::string_view::npos) {
        out.append(value);
        return;
    }
    std::string opened;
    for (std::size_t from = 0;;) {
        const std::size_t at = value.find(kCdata, from);
        opened.append(value.substr(from, at == std::string_view::npos ? at : at - from));
        if (at == std::string_view::npos) {
            break;
        }
        from = at + kCdata.size();
    }
    const std::string_view rest(opened);
    for (std::size_t from = 0;;) {
        const std::size_t at = rest.find(kCdataEnd, from);
        out.append(rest.substr(from, at == std::string_view::npos ? at : at - from));
        if (at == std::string_view::npos) {
            break;
        }
        from = at + kCdataEnd.size();
    }
}

std::string valueOf(std::string_view value)
{
    std::string out;
    appendValue(out, value);
    return out;
}

struct Element {
    std::size_t tagStart = 0;    // at "<"
    std::size_t contentStart = 0;  // after the start tag's ">"
    std::size_t contentEnd = 0;    // at the end tag's "<", or contentStart when there is none
};

bool endsName(char c)
{
    return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The first element called name at or after from; "<names" does not count.
// Without wantContent only the start tag is read, so walking many elements
// never searches for end tags (linear even when every one lacks its end).
std::optional<Element> findElement(const Region& r, std::string_view name, std::size_t from = 0,
                                   bool wantContent = true)
{
    const std::string_view lower = r.lower;
    const std::string qualified = std::string(r.prefix) + std::string(name);
    const std::string open = "<" + qualified;
    for (std::size_t at = findMarkup(r, open, from); at != std::string_view::npos; at = findMarkup(r, open, at + 1)) {
        const std::size_t after = at + open.size();
        if (after >= lower.size() || !endsName(lower[after])) {
            continue;
        }
        const std::size_t gt = lower.find('>', after);
        if (gt == std::string_view::npos) {
            return std::nullopt;
        }
        Element element{at, gt + 1, gt + 1};
        if (wantContent && lower[gt - 1] != '/') {
            const std::size_t close = findMarkup(r, "</" + qualified, gt + 1);
            element.contentEnd = close == std::string_view::npos ? gt + 1 : close;
        }
        return element;
    }
    return std::nullopt;
}

std::string_view content(const Region& r, const Element& e)
{
    return r.text.substr(e.contentStart, e.contentEnd - e.contentStart);
}

std::string_view elementText(const Region& r, std::string_view name)
{
    auto element = findElement(r, name);
    return element ? content(r, *element) : std::string_view();
}

// An attribute of the start tag at e, quoted either way; empty when absent.
std::string_view attribute(const Region& r, const Element& e, std::string_view name)
{
    const std::string_view tag = r.lower.substr(e.tagStart, e.contentStart - e.tagStart);
    const std::string key = std::string(name) + "=";
    for (std::size_t at = tag.find(key); at != std::string_view::npos; at = tag.find(key, at + 1)) {
        const std::size_t quoteAt = at + key.size();
        if (at == 0 || !endsName(tag[at - 1]) || quoteAt >= tag.size() || (tag[quoteAt] != '"' && tag[quoteAt] != '\'')) {
            continue;
        }
        const std::size_t end = tag.find(tag[quoteAt], quoteAt + 1);
        if (end == std::string_view::npos) {
            return {};
        }
        return r.text.substr(e.tagStart + quoteAt + 1, end - quoteAt - 1);
    }
    return {};
}

// The href of the first link meant for readers: no rel, or rel="alternate".
std::string_view readerLink(const Region& r)
{
    std::string_view fallback;
    for (auto link = findElement(r, "link", 0, false); link; link = findElement(r, "link", link->contentStart, false)) {
        const std::string_view rel = attribute(r, *link, "rel");
        const std::string_view href = attribute(r, *link, "href");
        if (rel.empty() || orlavo::platform::equalsIgnoreCase(rel, "alternate")) {
            return href;
        }
        if (fallback.empty() && !orlavo::platform::equalsIgnoreCase(rel, "self")) {
            fallback = href;
        }
    }
    return fallback;
}

std::string_view authorName(const Region& r)
{
    auto author = findElement(r, "author");
    return author ? elementText(r.sub(author->contentStart, author->contentEnd), "name") : std::string_view();
}

std::string_view categoryTerm(const Region& r)
{
    auto category = findElement(r, "category", 0, false);
    return category ? attribute(r, *category, "term") : std::string_view();
}

std::string_view firstNonEmpty(std::string_view a, std::string_view b)
{
    return a.empty() ? b : a;
}

// Where each entry starts ("<entry" followed by the end of the name).
std::vector<std::size_t> entryStarts(const Region& all, std::int32_t maxItems)
{
    std::vector<std::size_t> starts;
    const auto cap = static_cast<std::size_t>(std::max(maxItems, 0));
    for (auto entry = findElement(all, "entry", 0, false); entry && starts.size() < cap;
         entry = findElement(all, "entry", entry->contentStart, false)) {
        starts.push_back(entry->tagStart);
    }
    return starts;
}

void readFeedFields(const Region& feed, DocumentContent& out)
{
    out.channel[kTitle] = valueOf(elementText(feed, "title"));
    out.channel[kLink] = valueOf(readerLink(feed));
    out.channel[kDescription] = valueOf(elementText(feed, "subtitle"));
    out.channel[kCopyright] = valueOf(elementText(feed, "rights"));
    out.channel[kLastBuildDate] = valueOf(elementText(feed, "updated"));
    const std::string logo = valueOf(elementText(feed, "logo"));
    if (!logo.empty()) {
        out.channel[kImageMarker] = "yes";
        out.channel[kImageFirstField] = logo;
        out.channel[kImageFirstField + 1] = out.channel[kTitle];
        out.channel[kImageFirstField + 2] = out.channel[kLink];
    }
}

// Appends the entry's seven values to the text and records where they lie.
void readEntry(const Region& entry, DocumentContent& out)
{
    const std::string_view values[kItemFieldCount] = {
        elementText(entry, "title"),
        readerLink(entry),
        firstNonEmpty(elementText(entry, "summary"), elementText(entry, "content")),
        authorName(entry),
        categoryTerm(entry),
        elementText(entry, "id"),
        firstNonEmpty(elementText(entry, "published"), elementText(entry, "updated")),
    };
    ItemRecord record;
    record.start = out.text.size();
    for (int field = 0; field < kItemFieldCount; ++field) {
        const std::string_view value = values[field];
        // An entry is at most the whole text, which the offsets cover only below 4 GiB.
        if (out.text.size() - record.start + value.size() >= std::numeric_limits<std::uint32_t>::max()) {
            break;
        }
        const std::size_t begin = out.text.size();
        appendValue(out.text, value);
        record.fields[static_cast<std::size_t>(field)] = {static_cast<std::uint32_t>(begin - record.start),
                                                          static_cast<std::uint32_t>(out.text.size() - begin)};
    }
    out.items.push_back(record);
}

std::size_t skipBlanks(std::string_view text, std::size_t pos)
{
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\r' || text[pos] == '\n')) {
        ++pos;
    }
    return pos;
}

// "p:" for the first xmlns:p="..." that names the Atom namespace, else empty.
std::string atomPrefix(const Region& all)
{
    constexpr std::string_view kDeclaration = "xmlns:";
    const std::string_view lower = all.lower;
    for (std::size_t at = findMarkup(all, kDeclaration, 0); at != std::string_view::npos;
         at = findMarkup(all, kDeclaration, at + 1)) {
        const std::size_t nameStart = at + kDeclaration.size();
        std::size_t nameEnd = nameStart;
        while (nameEnd < lower.size() && !endsName(lower[nameEnd]) && lower[nameEnd] != '=') {
            ++nameEnd;
        }
        const std::size_t equals = skipBlanks(lower, nameEnd);
        const std::size_t quoteAt = skipBlanks(lower, equals + 1);
        if (nameEnd == nameStart || quoteAt >= lower.size() || lower[equals] != '=' ||
            (lower[quoteAt] != '"' && lower[quoteAt] != '\'')) {
            continue;
        }
        const std::size_t valueEnd = lower.find(lower[quoteAt], quoteAt + 1);
        if (valueEnd != std::string_view::npos && lower.substr(quoteAt + 1, valueEnd - quoteAt - 1) == kAtomNamespace) {
            return std::string(lower.substr(nameStart, nameEnd - nameStart)) + ":";
        }
    }
    return {};
}

}  // namespace

std::unique_ptr<DocumentContent> readAtom(std::string_view text, std::int32_t maxItems)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return orlavo::platform::asciiLower(c); });
    const Sections sections = findSections(text);
    Region all{lower, text, {}, &sections, 0};
    std::vector<std::size_t> starts = entryStarts(all, maxItems);
    std::string prefix;
    if (starts.empty() && maxItems > 0) {
        // No plain entry: a feed that writes its elements as "<atom:entry>" reads the same.
        prefix = atomPrefix(all);
        all.prefix = prefix;
        if (!prefix.empty()) {
            starts = entryStarts(all, maxItems);
        }
    }
    if (starts.empty()) {
        return nullptr;
    }
    auto out = std::make_unique<DocumentContent>();
    readFeedFields(all.sub(0, starts.front()), *out);
    out->items.reserve(starts.size());
    for (std::size_t k = 0; k < starts.size(); ++k) {
        const std::size_t end = k + 1 < starts.size() ? starts[k + 1] : text.size();
        readEntry(all.sub(starts[k], end), *out);
    }
    out->itemCount = static_cast<std::int32_t>(starts.size());
    return out;
}

}  // namespace pellix::detail
