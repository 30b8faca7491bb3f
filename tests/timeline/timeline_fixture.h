// Helpers for the timeline tests: script files on disk and an effect that
// records what reaches it.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "timeline/effect.h"

namespace korvanthe::testing {

// A script file in the temporary directory, removed with the object.
class ScriptFile {
  public:
    explicit ScriptFile(const std::string& text) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                (std::string("korvanthe_") + info->test_suite_name() + "_" + info->name() + ".scp");
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    ~ScriptFile() { std::filesystem::remove(path_); }
    const char* path() const { return path_.c_str(); }

  private:
    std::filesystem::path path_;
};

// What one effect received, in the order it arrived.
struct Delivery {
    std::string effect;
    EffectCommand command;
    int32_t p1;
    bool activeWhenDelivered;
};

class RecordingEffect final : public Effect {
  public:
    explicit RecordingEffect(std::vector<Delivery>& log) : log_(log) {}
    void reset() override { resets++; }
    void render() override { renders++; }
    void handleEvent(const EffectEvent& event) override {
        log_.push_back({name, event.command, event.p1, active});
    }
    int resets = 0;
    int renders = 0;

  private:
    std::vector<Delivery>& log_;
};

inline bool operator==(const Delivery& a, const Delivery& b) {
    return a.effect == b.effect && a.command == b.command && a.p1 == b.p1 &&
           a.activeWhenDelivered == b.activeWhenDelivered;
}

inline void PrintTo(const Delivery& d, std::ostream* out) {
    *out << d.effect << " " << d.command << " " << d.p1 << (d.activeWhenDelivered ? " on" : " off");
}

} // namespace korvanthe::testing
