// Timeline bookkeeping: which entries reach which effects, when, and with what
// generic action applied first. No drawing here.
#include "timeline/timeline_update.h"

#include <gtest/gtest.h>

#include "platform/headless/virtual_clock.h"
#include "tests/timeline/timeline_fixture.h"
#include "timeline/effect_registry.h"
#include "timeline/script_reader.h"
#include "timeline/script_table.h"

namespace korvanthe {
namespace {

using testing::Delivery;
using testing::RecordingEffect;
using testing::ScriptFile;

class TimelineUpdate : public ::testing::Test {
  protected:
    void SetUp() override {
        clearEffectRegistry();
        registerEffect(a, "a");
        registerEffect(b, "b");
    }
    void load(const std::string& text) {
        ScriptFile file(text);
        loadScript(file.path());
    }
    std::vector<Delivery> log;
    RecordingEffect a{log};
    RecordingEffect b{log};
};

TEST_F(TimelineUpdate, EntriesFireOnceInFileOrderOnlyAtTheirExactPosition) {
    load("1:2 a param 1 0 0\n"
         "1:2 b param 2 0 0\n"
         "0:2 a param 3 0 0\n"
         "1:2 a param 4 0 0\n");
    deliverScriptEntries(2, 1); // order and row swapped
    deliverScriptEntries(1, 3);
    EXPECT_TRUE(log.empty());
    deliverScriptEntries(1, 2);
    deliverScriptEntries(1, 2); // the song comes back: nothing twice
    EXPECT_EQ(log, (std::vector<Delivery>{{"a", CommandParam, 1, false},
                                          {"b", CommandParam, 2, false},
                                          {"a", CommandParam, 4, false}}));
    EXPECT_FALSE(scriptTable.entries[2].fired);
    deliverScriptEntries(0, 2);
    EXPECT_EQ(log.back(), (Delivery{"a", CommandParam, 3, false}));
    EXPECT_EQ(log.size(), 4u);
}

TEST_F(TimelineUpdate, GenericActionsComeBeforeHandleEventAndLinesKeepTheirOrder) {
    load("0:0 a start 0 0 0\n"
         "0:0 a stop 0 0 0\n" // start then stop: off
         "0:0 b stop 0 0 0\n"
         "0:0 b start 0 0 0\n"  // stop then start: on
         "0:0 b layer 40 0 0\n" // out of the drawn range, still stored
         "0:0 a wobble 7 0 0\n");
    deliverScriptEntries(0, 0); // entries at 0:0 fire on the very first call
    EXPECT_FALSE(a.active);
    EXPECT_TRUE(b.active);
    EXPECT_EQ(b.layer, 40);
    EXPECT_EQ(log, (std::vector<Delivery>{{"a", CommandStart, 0, true},
                                          {"a", CommandStop, 0, false},
                                          {"b", CommandStop, 0, false},
                                          {"b", CommandStart, 0, true},
                                          {"b", CommandLayer, 40, true},
                                          {"a", CommandUnknown, 7, false}}));
}

TEST_F(TimelineUpdate, AnUnknownNameIsMarkedFiredAndReachesNobody) {
    load("3:4 nobody start 0 0 0\n3:4 A start 0 0 0\n");
    deliverScriptEntries(3, 4);
    EXPECT_TRUE(log.empty()); // names compare case-sensitively
    EXPECT_TRUE(scriptTable.entries[0].fired);
    EXPECT_TRUE(scriptTable.entries[1].fired);
}

TEST_F(TimelineUpdate, EveryEffectOfTheNameGetsTheEntry) {
    RecordingEffect twin{log};
    registerEffect(twin, "a");
    load("0:1 a start 0 0 0\n");
    deliverScriptEntries(0, 1);
    EXPECT_TRUE(a.active);
    EXPECT_TRUE(twin.active);
    EXPECT_EQ(log.size(), 2u);
}

TEST_F(TimelineUpdate, ResetTimerStoresTheClockOfItsSlot) {
    load("0:1 b resettimer 0 0 0\n0:2 b resettimer 0 0 0\n");
    setVirtualMilliseconds(5000);
    deliverScriptEntries(0, 1);
    EXPECT_EQ(effectRegistry.effectStartTime[0], 0u);
    EXPECT_EQ(effectRegistry.effectStartTime[1], 5000u);
    setVirtualMilliseconds(7250);
    deliverScriptEntries(0, 2);
    EXPECT_EQ(effectRegistry.effectStartTime[1], 7250u);
}

TEST(EffectRegistry, RegistrationNamesDeactivatesAndStopsAtThirtyTwo) {
    clearEffectRegistry();
    std::vector<Delivery> log;
    std::vector<RecordingEffect> effects(33, RecordingEffect{log});
    effects[0].active = true;
    EXPECT_TRUE(registerEffect(effects[0], "a_name_of_more_than_thirty_one_characters"));
    EXPECT_STREQ(effects[0].name, "a_name_of_more_than_thirty_one_");
    EXPECT_FALSE(effects[0].active);
    for (int i = 1; i < 32; i++) {
        EXPECT_TRUE(registerEffect(effects[i], "x"));
    }
    EXPECT_FALSE(registerEffect(effects[32], "x"));
    EXPECT_EQ(effectRegistry.count, 32);
    resetAllEffects();
    EXPECT_EQ(effects[31].resets, 1);
    EXPECT_EQ(effects[32].resets, 0);
}

} // namespace
} // namespace korvanthe
