#include "json_writer.h"

#include <array>
#include <optional>
#include <string>
#include <utility>

namespace orlavo::tools {

namespace {

using ChannelGetter = const std::string& (pellix::RSSFile::*)() const noexcept;
using ItemGetter = std::optional<std::string> (pellix::RSSFile::*)(std::int32_t) const;

constexpr std::array<std::pair<std::string_view, ChannelGetter>, 10> kChannelKeys = {{
    {"title", &pellix::RSSFile::Title},
    {"link", &pellix::RSSFile::Link},
    {"description", &pellix::RSSFile::Description},
    {"language", &pellix::RSSFile::Language},
    {"copyright", &pellix::RSSFile::Copyright},
    {"managing_editor", &pellix::RSSFile::ManagingEditor},
    {"webmaster", &pellix::RSSFile::Webmaster},
    {"pub_date", &pellix::RSSFile::PubDate},
    {"last_build_date", &pellix::RSSFile::LastBuildDate},
    {"category", &pellix::RSSFile::Category},
}};

constexpr std::array<std::pair<std::string_view, ItemGetter>, 7> kItemKeys = {{
    {"title", &pellix::RSSFile::ItemTitle},
    {"link", &pellix::RSSFile::ItemLink},
    {"description", &pellix::RSSFile::ItemDescription},
    {"author", &pellix::RSSFile::ItemAuthor},
    {"category", &pellix::RSSFile::ItemCategory},
    {"guid", &pellix::RSSFile::ItemGuid},
    {"pub_date", &pellix::RSSFile::ItemPubDate},
}};

void writeChannel(std::ostream& out, const pellix::RSSFile* document)
{
    out << "\"channel\": {";
    const char* separator = "";
    for (const auto& [key, getter] : kChannelKeys) {
        out << separator << '"' << key << "\": ";
        writeJsonString(out, document != nullptr ? (document->*getter)() : std::string_view());
        separator = ", ";
    }
    out << "}";
}

void writeImage(std::ostream& out, const pellix::RSSFile* document)
{
    const std::array<std::string, 7> image =
        document != nullptr ? document->ImageData() : std::array<std::string, 7>{};
    out << "\"image\": [";
    for (std::size_t i = 0; i < image.size(); ++i) {
        out << (i == 0 ? "" : ", ");
        writeJsonString(out, image[i]);
    }
    out << "]";
}

void writeItem(std::ostream& out, const pellix::RSSFile& document, std::int32_t number)
{
    out << "{";
    const char* separator = "";
    for (const auto& [key, getter] : kItemKeys) {
        out << separator << '"' << key << "\": ";
        writeJsonString(out, (document.*getter)(number).value_or(std::string()));
        separator = ", ";
    }
    out << "}";
}

}  // namespace

void writeJsonString(std::ostream& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out << '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out << '\\' << c;
        } else if (byte < 0x20) {
            out << "\\u00" << kHex[byte >> 4] << kHex[byte & 0x0F];
        } else {
            out << c;
        }
    }
    out << '"';
}

void writeDocumentJson(std::ostream& out, const pellix::RSSFile* document, std::int32_t itemCount)
{
    out << "{\"item_count\": " << itemCount << ",\n ";
    writeChannel(out, document);
    out << ",\n ";
    writeImage(out, document);
    out << ",\n \"items\": [";
    if (document != nullptr) {
        for (std::int32_t number = 1; number <= itemCount; ++number) {
            out << (number == 1 ? "\n  " : ",\n  ");
            writeItem(out, *document, number);
        }
    }
    out << "]}\n";
}

}  // namespace orlavo::tools
