#include "tools/assetgen/song_plan.h"

#include "tools/xm_writer/xm_writer.h"

namespace korvanthe::assetgen {

const std::vector<Section>& songPlan() {
    static const std::vector<Section> plan = {
        {Part::Intro, 0, 0, 64},       {Part::IntroArp, 0, 1, 64},  {Part::Build, 0, 2, 64},
        {Part::BuildRoll, 0, 3, 48},   {Part::Drop, 0, 4, 64},      {Part::Drop, 1, 5, 64},
        {Part::Drop, 0, 4, 64},        {Part::DropFill, 0, 6, 64},  {Part::Groove, 0, 7, 64},
        {Part::Groove, 1, 8, 64},      {Part::Breakdown, 0, 9, 64}, {Part::Breakdown, 1, 10, 64},
        {Part::FinalBuild, 0, 11, 64}, {Part::Drop, 2, 12, 64},     {Part::Drop, 3, 13, 64},
        {Part::Drop, 2, 12, 64},       {Part::DropFill, 1, 14, 64}, {Part::Outro, 0, 15, 64},
        {Part::Ending, 0, 16, 64},
    };
    return plan;
}

int patternCount() {
    int count = 0;
    for (const Section& section : songPlan()) {
        count = section.pattern + 1 > count ? section.pattern + 1 : count;
    }
    return count;
}

std::array<Chord, 4> progression(Part part, int variation) {
    // A minor throughout: i - VI - III - VII for the main parts.
    constexpr Chord Am = {xmNote("A-2"), {xmNote("A-3"), xmNote("C-4"), xmNote("E-4")}, true};
    constexpr Chord F = {xmNote("F-2"), {xmNote("A-3"), xmNote("C-4"), xmNote("F-4")}, false};
    constexpr Chord C = {xmNote("C-3"), {xmNote("G-3"), xmNote("C-4"), xmNote("E-4")}, false};
    constexpr Chord G = {xmNote("G-2"), {xmNote("G-3"), xmNote("B-3"), xmNote("D-4")}, false};
    constexpr Chord Dm = {xmNote("D-2"), {xmNote("A-3"), xmNote("D-4"), xmNote("F-4")}, true};
    constexpr Chord E = {xmNote("E-2"), {xmNote("G#3"), xmNote("B-3"), xmNote("E-4")}, false};
    constexpr Chord Em = {xmNote("E-2"), {xmNote("G-3"), xmNote("B-3"), xmNote("E-4")}, true};
    switch (part) {
    case Part::Groove:
        return {Dm, Am, F, E};
    case Part::Breakdown:
        return variation == 0 ? std::array<Chord, 4>{F, G, Em, Am}
                              : std::array<Chord, 4>{F, G, Am, Am};
    case Part::BuildRoll:
        return {F, F, G, G};
    case Part::FinalBuild:
        return {F, F, G, G};
    case Part::Ending:
        return {Am, Am, Am, Am};
    default:
        return {Am, F, C, G};
    }
}

} // namespace korvanthe::assetgen
