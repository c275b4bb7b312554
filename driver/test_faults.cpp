#include "driver/test_faults.h"

#include <new>

#include "editor/fault_points.h"

namespace {

std::string Armed;  // the place that throws next

}  // namespace

#ifdef EDITOR_TEST_FAULTS
bool TakesFaults() {
  return true;
}
#else
bool TakesFaults() {
  return false;
}
#endif

bool ThrowNextTimeIn(const std::string &place) {
  if (!TakesFaults()) return false;
  Armed = place;
  SetFaultHook(MaybeThrowIn);
  return true;
}

void MaybeThrowIn(const char *place) {
  if (Armed.empty() || Armed != place) return;
  Armed.clear();
  throw std::bad_alloc();
}
