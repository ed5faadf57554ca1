// Feeds arbitrary settings-file bytes and an arbitrary value to the profile
// reader and editor, and checks what every settings write relies on: the
// value written is the value read back, no other key changes, writing the
// same value twice changes nothing, and a read is cut to the buffer's size.
//
// Input: one byte choosing the section and key, the value up to the first
// NUL, then the file.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/code_page.h"
#include "platform/profile_file.h"
#include "platform/profile_text.h"

#include "fuzz_check.h"

namespace {

using orlavo::fuzz::check;

using namespace orlavo::platform;

struct Name {
    std::string_view section;
    std::string_view key;
};

// Keys of the real file, spelled as the program and as users write them, plus
// two that share a prefix with real ones.
constexpr Name kNames[] = {
    {"CommMethod", "RemoteIP"},       {"COMMMETHOD", "ETHERNET"}, {"Parameters", "Messages"},
    {"parameters", "messages2"},      {"AccessPoint", "AccessPointIP0"}, {"AccessPoint", "AccessPointIP25"},
    {"Communications", "CommDevice"}, {"Discovery", "start1"},
};
constexpr std::size_t kNameCount = sizeof kNames / sizeof kNames[0];
constexpr std::size_t kBufferSize = 750;

bool sameName(const Name& a, const Name& b)
{
    auto same = [](std::string_view x, std::string_view y) {
        if (x.size() != y.size()) {
            return false;
        }
        for (std::size_t i = 0; i < x.size(); ++i) {
            if ((x[i] | 0x20) != (y[i] | 0x20)) {
                return false;
            }
        }
        return true;
    };
    return same(a.section, b.section) && same(a.key, b.key);
}

// What a read gives back for a stored value: line breaks were blanked on the
// way in, surrounding blanks and one pair of matching quotes go on the way out.
std::string asReadBack(std::string_view value)
{
    std::string clean(value);
    for (char& c : clean) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    std::string_view t = clean;
    auto blank = [](char c) { return (c >= 0x09 && c <= 0x0D) || c == ' ' || c == 0x1A; };
    while (!t.empty() && blank(t.front())) {
        t.remove_prefix(1);
    }
    while (!t.empty() && blank(t.back())) {
        t.remove_suffix(1);
    }
    if (t.size() >= 2 && (t.front() == '"' || t.front() == '\'') && t.back() == t.front()) {
        t = t.substr(1, t.size() - 2);
    }
    return std::string(t);
}

std::string firstCharacters(const std::string& text, std::size_t count)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && chars++ == count) {
            return text.substr(0, i);
        }
    }
    return text;
}

void checkEdit(std::string_view file, const Name& name, std::string_view value)
{
    const std::string edited = profile::assign(file, name.section, name.key, value);
    check(profile::lookup(edited, name.section, name.key) == asReadBack(value), "the value written is not read back");
    check(profile::assign(edited, name.section, name.key, value) == edited, "writing the same value again changed the file");
    for (const Name& other : kNames) {
        if (!sameName(other, name)) {
            check(profile::lookup(edited, other.section, other.key) == profile::lookup(file, other.section, other.key),
                  "writing one key changed another");
        }
    }
}

// The same through the settings file object, which converts code pages.
void checkFile(std::string_view file, const Name& name, std::string_view value)
{
    MemoryProfileFile profileFile{std::string(file)};
    const std::string before = profileFile.read(name.section, name.key, "default", kBufferSize);
    check(utf8Length(before) < kBufferSize, "a read longer than its buffer");
    (void)profileFile.write(name.section, name.key, value);
    const bool utf8 = file.starts_with("\xEF\xBB\xBF");
    const std::string stored = asReadBack(utf8 ? std::string(value) : utf8ToCp1252(value));
    const std::string expected = utf8 ? decodeUtf8OrCp1252(stored) : cp1252ToUtf8(stored);
    check(profileFile.read(name.section, name.key, "default", kBufferSize) == firstCharacters(expected, kBufferSize - 1),
          "the settings file does not read back what was written");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const Name& name = kNames[data[0] % kNameCount];
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t nul = rest.find('\0');
    const std::string_view value = nul == std::string_view::npos ? std::string_view() : rest.substr(0, nul);
    const std::string_view file = nul == std::string_view::npos ? rest : rest.substr(nul + 1);
    checkEdit(file, name, value);
    checkFile(file, name, value);
    return 0;
}
