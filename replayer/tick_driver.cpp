#include "replayer/tick_driver.h"

#include "replayer/row_processing.h"
#include "replayer/tick_effects.h"

namespace korvanthe {

namespace {

RowObserver rowObserver = nullptr;
void* rowObserverContext = nullptr;

// Rows of the pattern that order entry `order` names; 0 outside the song.
int32_t patternRows(const Module* module, int32_t order) {
    if (module->patterns == nullptr || order < 0 || order >= OrderTableSize) {
        return 0;
    }
    const int32_t pattern = module->orderTable[order];
    return pattern < module->patternSlotCount ? module->patterns[pattern].rowCount : 0;
}

void enterPendingPosition(Module* module) {
    const bool enteredOrder = module->nextOrder >= 0;
    if (enteredOrder) {
        module->order = module->nextOrder;
    }
    if (module->nextRow >= 0) {
        module->row = module->nextRow;
    }
    // A break (or a loop start kept from an earlier pattern) may name a row
    // the pattern does not have: that plays row 0 of the pattern
    // (tick_driver_test).
    if (module->row >= patternRows(module, module->order)) {
        module->row = 0;
    }
    if (rowObserver != nullptr) {
        rowObserver(module, enteredOrder, rowObserverContext);
    }
}

void scheduleNextRow(Module* module) {
    if (module->nextRow != -1) {
        return;
    }
    module->nextRow = module->row + 1;
    if (module->nextRow >= patternRows(module, module->order)) {
        module->nextOrder = module->order + 1;
        if (module->nextOrder >= module->songLength) {
            // A restart position beyond the song restarts at order 0.
            module->nextOrder =
                module->restartPosition >= 0 && module->restartPosition < module->songLength
                    ? module->restartPosition
                    : 0;
        }
        module->nextRow = 0;
    }
}

} // namespace

void runTick(Module* module) {
    if (module == nullptr) {
        return;
    }
    if (module->tick == 0) {
        enterPendingPosition(module);
        processRow(module);
        scheduleNextRow(module);
    } else {
        processTickEffects(module);
    }
    module->tick += 1;
    if (module->tick >= module->speed + module->patternDelayTicks) {
        module->patternDelayTicks = 0;
        module->tick = 0;
    }
}

void setRowObserver(RowObserver observer, void* context) {
    rowObserver = observer;
    rowObserverContext = context;
}

} // namespace korvanthe
