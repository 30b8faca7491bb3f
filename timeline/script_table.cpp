#include "timeline/script_table.h"

#include <cstring>
#include <iterator>

namespace korvanthe {

ScriptTable scriptTable{};

EffectCommand commandCode(const char* word) {
    static constexpr const char* words[] = {"resettimer", "texture", "param",
                                            "layer",      "start",   "stop"};
    static_assert(std::size(words) == CommandStop + 1);
    for (int code = 0; code <= CommandStop; code++) {
        if (std::strcmp(word, words[code]) == 0) {
            return static_cast<EffectCommand>(code);
        }
    }
    return CommandUnknown;
}

} // namespace korvanthe
