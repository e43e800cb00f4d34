// How the alarm store tells the user about a problem. The program shows each
// message in a message box, ringmere-cli prints it, tests collect it.
#pragma once

#include <string>
#include <vector>

namespace ringmere {

class Reporter {
public:
    virtual ~Reporter() = default;
    virtual void Report(const std::string& message) = 0;
};

class CollectingReporter final : public Reporter {
public:
    void Report(const std::string& message) override { messages.push_back(message); }
    std::vector<std::string> messages;
};

class SilentReporter final : public Reporter {
public:
    void Report(const std::string&) override {}
};

// Passes messages on and counts them.
class CountingReporter final : public Reporter {
public:
    explicit CountingReporter(Reporter& inner) : inner_(inner) {}
    void Report(const std::string& message) override {
        ++count;
        inner_.Report(message);
    }
    int count = 0;

private:
    Reporter& inner_;
};

}  // namespace ringmere
