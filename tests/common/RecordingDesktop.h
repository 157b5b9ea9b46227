// The desktop for the window logic's tests: every order becomes a line of text, so a test compares
// what the logic did with the rows it expects.
#pragma once

#include "platform/Desktop.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace karvo::test {

using Lines = std::vector<std::string>;

class RecordingDesktop : public platform::Desktop, public platform::ProcessRunner {
public:
    Lines lines;
    bool launches = true;   // whether a program starts; an empty command line never does
    std::vector<int> answers;  // message box answers, from the front; vbOK when it runs dry

    void open(const std::string& file) override { lines.push_back("open " + file); }
    bool startProgram(const std::string& commandLine, int windowStyle) override {
        lines.push_back("start " + std::to_string(windowStyle) + " " + commandLine);
        return launches && !commandLine.empty();
    }
    int messageBox(const std::string& text, int style, const std::string& caption) override {
        lines.push_back("box " + caption + " [" + std::to_string(style) + "]: " + text);
        if (answers.empty())
            return platform::vbOK;
        const int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    // Programs run and not finished yet; finish() answers the oldest.
    std::vector<std::function<void(const platform::ProcessOutcome&)>> running;
    std::vector<std::string> runningCommands;  // their command lines
    void runProgram(const std::string& commandLine, int windowStyle,
                    std::function<void(const platform::ProcessOutcome&)> done) override {
        lines.push_back("run " + std::to_string(windowStyle) + " " + commandLine);
        running.push_back(std::move(done));
        runningCommands.push_back(commandLine);
    }
    void finish(int exitCode, const std::string& errorText = "", bool started = true) {
        auto done = std::move(running.front());
        running.erase(running.begin());
        runningCommands.erase(runningCommands.begin());
        done(platform::ProcessOutcome{started, exitCode, errorText});
    }
    // The lines recorded since the last call.
    Lines take() { return std::exchange(lines, {}); }
};

}  // namespace karvo::test
