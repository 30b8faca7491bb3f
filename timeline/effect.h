// The base of every visual element: a named, layered object with its own clock.
#pragma once

#include <cstdint>

#include "timeline/effect_event.h"

namespace korvanthe {

// Effects are the only classes with virtual operations; the slot order is
// reset, render, handleEvent. The main sequence creates and owns them, the
// registry only refers to them.
class Effect {
  public:
    // Restores the class's own defaults (its fields, for some classes
    // `texture`); never touches name, active, elapsed or layer.
    virtual void reset() = 0;

    // Draws into the current GL context for `elapsed` milliseconds. Sets every
    // piece of GL state it relies on. First thread, context current.
    virtual void render() = 0;

    // The class's own reaction to a timeline command; the generic part (active,
    // layer, start time) has been applied already.
    virtual void handleEvent(const EffectEvent& event) = 0;

    virtual ~Effect() = default;

    char name[32] = {};  // zero-terminated, compared exactly
    bool active = false; // drawn only while true
    int32_t elapsed = 0; // ms since the start time, set just before render
    int32_t texture = 0; // a slot of the texture table, for the classes that use it
    int32_t layer = 0;   // only layers 0 to 31 are drawn
};

} // namespace korvanthe
