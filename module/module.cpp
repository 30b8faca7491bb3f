#include "module/module.h"

namespace korvanthe {

Sample emptySample{};
Instrument emptyInstrument{};

} // namespace korvanthe
