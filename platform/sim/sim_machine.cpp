#include <memory>

#include "platform/sim/sim.h"
#include "platform/types.h"

namespace {
std::unique_ptr<SimMachine> current;
}

SimMachine& Sim() {
    if (!current) SimReset();
    return *current;
}

void SimReset() {
    current = std::make_unique<SimMachine>();
    SimAddRoot("C:");
}

void* SimNewHandle() {
    return reinterpret_cast<void*>(Sim().next_handle++);
}
