// Faults no person could cause, for the tests: in the editor's test build a
// named place throws std::bad_alloc the next time it is reached, as it would
// were memory to run out. In the editor people use, nothing throws here.
#pragma once

#include <string>

// Whether this is the test build.
bool TakesFaults();
// Places: the editor's fault points (editor/fault_points.h), and "step"
// (a scripted step).
// False when this build takes no faults.
bool ThrowNextTimeIn(const std::string &place);
void MaybeThrowIn(const char *place);
