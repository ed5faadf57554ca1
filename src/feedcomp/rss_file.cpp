#include "pellix/rss_file.h"

#include <new>

#include "feedcomp/document_content.h"

namespace pellix {

RSSFile::RSSFile(std::unique_ptr<const detail::DocumentContent> content) noexcept
    : m_content(std::move(content))
{
}

RSSFile::~RSSFile() = default;

const std::string& RSSFile::channelField(int index) const noexcept
{
    return m_content->channel[static_cast<std::size_t>(index)];
}

const std::string& RSSFile::Title() const noexcept { return channelField(0); }
const std::string& RSSFile::Link() const noexcept { return channelField(1); }
const std::string& RSSFile::Description() const noexcept { return channelField(2); }
const std::string& RSSFile::Language() const noexcept { return channelField(3); }
const std::string& RSSFile::Copyright() const noexcept { return channelField(4); }
const std::string& RSSFile::ManagingEditor() const noexcept { return channelField(5); }
const std::string& RSSFile::Webmaster() const noexcept { return channelField(6); }
const std::string& RSSFile::PubDate() const noexcept { return channelField(7); }
const std::string& RSSFile::LastBuildDate() const noexcept { return channelField(8); }
const std::string& RSSFile::Category() const noexcept { return channelField(9); }

std::array<std::string, 7> RSSFile::ImageData() const
{
    std::array<std::string, 7> image;
    if (m_content->channel[detail::kImageMarker].empty()) {
        return image;
    }
    image[0] = "yes";
    for (int j = 0; j < detail::kImageFieldCount; ++j) {
        image[static_cast<std::size_t>(j) + 1] =
            m_content->channel[static_cast<std::size_t>(detail::kImageFirstField + j)];
    }
    return image;
}

std::optional<std::string> RSSFile::itemField(std::int32_t iNum, int field) const
{
    const detail::DocumentContent& c = *m_content;
    // Record 0 exists whenever there are items but is never filled.
    if (iNum < 0 || iNum > c.itemCount || c.itemCount <= 0) {
        return std::nullopt;
    }
    if (iNum == 0) {
        return std::string();
    }
    const auto index = static_cast<std::size_t>(iNum) - 1;
    const detail::ItemRecord& item = c.items[index];
    const detail::FieldSpan span = item.fields[static_cast<std::size_t>(field)];
    try {
        if (span.offset != detail::kWideMarker) {
            return c.text.substr(item.start + span.offset, span.length);
        }
        for (const detail::WideField& wide : c.wideFields) {
            if (wide.item == index && wide.field == field) {
                return c.text.substr(wide.begin, wide.length);
            }
        }
        return std::string();
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<std::string> RSSFile::ItemTitle(std::int32_t iNum) const { return itemField(iNum, 0); }
std::optional<std::string> RSSFile::ItemLink(std::int32_t iNum) const { return itemField(iNum, 1); }
std::optional<std::string> RSSFile::ItemDescription(std::int32_t iNum) const
{
    return itemField(iNum, 2);
}
std::optional<std::string> RSSFile::ItemAuthor(std::int32_t iNum) const { return itemField(iNum, 3); }
std::optional<std::string> RSSFile::ItemCategory(std::int32_t iNum) const
{
    return itemField(iNum, 4);
}
std::optional<std::string> RSSFile::ItemGuid(std::int32_t iNum) const { return itemField(iNum, 5); }
std::optional<std::string> RSSFile::ItemPubDate(std::int32_t iNum) const
{
    return itemField(iNum, 6);
}

namespace detail {

std::shared_ptr<RSSFile> DocumentFactory::make(std::unique_ptr<DocumentContent> content)
{
    return std::shared_ptr<RSSFile>(new RSSFile(std::move(content)));
}

}  // namespace detail
}  // namespace pellix
