// A test's own program folder, made the working folder as karvo makes it, with a Windows folder
// in it ($KARVO_WINDIR) that holds small scripts standing in for programs.
#pragma once

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace karvo::test {

class ProgramFolder : public ::testing::Test {
protected:
    ProgramFolder() {
        std::filesystem::create_directories(windir);
        std::filesystem::current_path(tmp.path());
    }
    ~ProgramFolder() override { std::filesystem::current_path(oldCwd_); }
    // An executable script; a relative name lands in the Windows folder.
    void program(const std::filesystem::path& file, const std::string& text = "#!/bin/sh\nexit 0\n") {
        const std::filesystem::path at = file.is_absolute() ? file : windir / file;
        std::filesystem::create_directories(at.parent_path());
        writeFile(at, text);
        std::filesystem::permissions(at, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
    }
    // The file's content once a started program has written it (or after a generous wait).
    std::string written(const std::string& name) {
        for (int i = 0; i < 300 && readFile(tmp / name).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return readFile(tmp / name);
    }

private:
    std::filesystem::path oldCwd_ = std::filesystem::current_path();

protected:
    TempDir tmp;
    std::filesystem::path windir = tmp / "windows";
    ScopedEnv env{"KARVO_WINDIR", windir.string()};
};

}  // namespace karvo::test
