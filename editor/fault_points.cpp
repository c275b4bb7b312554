#include "editor/fault_points.h"

namespace {

void (*Hook)(const char *) = nullptr;

}  // namespace

void SetFaultHook(void (*hook)(const char *)) {
  Hook = hook;
}

void FaultPoint(const char *place) {
  if (Hook) Hook(place);
}
