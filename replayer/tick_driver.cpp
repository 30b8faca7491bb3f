#include "replayer/tick_driver.h"

namespace korvanthe {

void runTick(Module*) {}

} // namespace korvanthe
