#pragma once
// ProcessLauncher that starts nothing: finds only the programs it is told
// are installed, records every argument vector and fails on request.
#include "platform/process_launcher.h"

#include <set>
#include <string>
#include <vector>

namespace orlavo::testing {

class FakeProcessLauncher final : public platform::ProcessLauncher {
public:
    std::optional<std::string> findProgram(std::string_view name) const override
    {
        if (installed.count(std::string(name)) == 0) {
            return std::nullopt;
        }
        return "/usr/bin/" + std::string(name);
    }
    std::optional<platform::SysError> launch(const std::vector<std::string>& argv) override
    {
        launched.push_back(argv);
        if (failWith != 0) {
            return platform::SysError{failWith, "fake launch failure"};
        }
        return std::nullopt;
    }

    std::set<std::string> installed;
    std::vector<std::vector<std::string>> launched;
    int failWith = 0;
};

}  // namespace orlavo::testing
