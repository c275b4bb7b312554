// One line of the reliability report, printed by the tests that measure
// something: tools/reliability.sh gathers these lines into the docs'
// table, so every test prints them in this one form.
#pragma once

#include <cstddef>
#include <cstdio>

inline void Report(const char *area, const char *what, size_t cases,
                   bool failed, const char *result) {
  std::printf("report: %s | %s | %zu | %s\n", area, what, cases,
              failed ? "FAILED" : result);
}
