// Puts the stand-in into the state every test starts from: a new empty machine, the
// virtual clock, no recorded boxes, debugger output or execution-state calls, the
// program's own resources without faults.
#pragma once

namespace testing_support {

void resetStandIn();

}  // namespace testing_support
