// Helpers for the timeline tests: script files on disk and an effect that
// logs what reaches it.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "timeline/effect.h"

namespace korvanthe::testing {

// A script file in the temporary directory, removed with the object.
struct ScriptFile {
    explicit ScriptFile(const std::string& text) {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        path = (std::filesystem::temp_directory_path() /
                (std::string("korvanthe_") + test->test_suite_name() + test->name() + ".scp"))
                   .string();
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    ~ScriptFile() { std::filesystem::remove(path); }
    std::string path;
};

// Logs "name command p1 on|off" for each event, the active flag as the event
// found it (the generic action comes first).
class RecordingEffect final : public Effect {
  public:
    explicit RecordingEffect(std::vector<std::string>& log) : log_(&log) {}
    void reset() override { resets++; }
    void render() override {}
    void handleEvent(const EffectEvent& event) override {
        log_->push_back(std::string(name) + " " + std::to_string(event.command) + " " +
                        std::to_string(event.p1) + (active ? " on" : " off"));
    }
    int resets = 0;

  private:
    std::vector<std::string>* log_;
};

} // namespace korvanthe::testing
