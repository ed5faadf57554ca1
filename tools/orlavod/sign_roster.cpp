#include "sign_roster.h"

#include "platform/profile_file.h"
#include "platform/whole_file.h"
#include "signfeed/sign_name.h"

#include <algorithm>
#include <map>
#include <system_error>

namespace orlavo::tools {

namespace fs = std::filesystem;

namespace {

Roster refused(std::string why)
{
    return Roster{{}, std::move(why)};
}

bool hasControls(const std::string& name)
{
    return std::any_of(name.begin(), name.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F;
    });
}

}  // namespace

Roster signFilesIn(const fs::path& dir)
{
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) {
        return refused("cannot read the folder of signs " + dir.string() + ": " + ec.message());
    }
    Roster roster;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path& path = it->path();
        if (path.extension() == ".ini" && it->is_regular_file(ec)) {
            if (roster.signs.size() == kMaxSigns) {
                return refused("more than " + std::to_string(kMaxSigns) + " *.ini files in " + dir.string());
            }
            roster.signs.push_back(SignEntry{path, {}});
        }
    }
    if (ec) {
        return refused("cannot read the folder of signs " + dir.string() + ": " + ec.message());
    }
    if (roster.signs.empty()) {
        return refused("no sign in " + dir.string() + ": it holds no *.ini settings file");
    }
    std::sort(roster.signs.begin(), roster.signs.end(), [](const SignEntry& a, const SignEntry& b) {
        return a.settingsPath.filename() < b.settingsPath.filename();
    });
    return roster;
}

Roster nameSigns(const std::vector<fs::path>& settingsPaths)
{
    Roster roster;
    std::map<std::string, fs::path> byName;
    for (const fs::path& path : settingsPaths) {
        platform::RegularFileRead read = platform::readRegularFile(path, platform::kMaxProfileBytes);
        if (read.error) {
            return refused("settings file not read, nothing sent or written: " + read.error->description);
        }
        if (!read.bytes) {
            return refused("settings file " + path.string() + " does not exist, nothing sent or written; " +
                           "create it with `orlavod init --settings " + path.string() + "`");
        }
        const std::string name = signfeed::signNameOf(path, platform::MemoryProfileFile(std::move(read.bytes)));
        if (hasControls(name)) {
            return refused("the sign name of " + path.string() + " holds control characters");
        }
        auto [at, added] = byName.emplace(name, path);
        if (!added) {
            return refused("two signs are named \"" + name + "\": " + at->second.string() + " and " +
                           path.string() + "; give one a [Sign] Name= of its own");
        }
        roster.signs.push_back(SignEntry{path, name});
    }
    return roster;
}

}  // namespace orlavo::tools
