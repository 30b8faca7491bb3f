// The demo's entry: everything happens in the main sequence.
#include "host/main_sequence.h"

int main() {
    return korvanthe::runMainSequence();
}
