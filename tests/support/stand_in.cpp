#include "support/stand_in.h"

#include "win32sim/clock.h"
#include "win32sim/debug_output.h"
#include "win32sim/machine.h"
#include "win32sim/message_boxes.h"
#include "win32sim/process.h"
#include "win32sim/resources.h"

namespace testing_support {

void resetStandIn() {
    win32sim::installMachine(std::make_shared<win32sim::Machine>());
    win32sim::clock::useVirtual();
    win32sim::clearMessageBoxes();
    win32sim::clearDebugOutput();
    win32sim::clearExecutionStateCalls();
    win32sim::resetResources();
}

}  // namespace testing_support
