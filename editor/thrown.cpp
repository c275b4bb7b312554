#include "editor/thrown.h"

#include <exception>
#include <new>

const char *ThrownReason() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc &) {
    return "not enough memory";
  } catch (const std::exception &e) {
    return e.what();
  } catch (...) {
    return "an unexpected error";
  }
}
