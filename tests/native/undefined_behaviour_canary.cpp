// Built exactly as the history-file fuzzer is: an input that overflows a
// signed integer must end the run with an error, or the fuzzer's clean exit
// would say nothing about undefined behaviour.
#include <climits>
#include <cstdint>
#include <cstring>

volatile int Sink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 8 && std::memcmp(data, "overflow", 8) == 0) {
    int value = Sink + INT_MAX;
    value += static_cast<int>(size);  // INT_MAX + 8
    Sink = value;
  }
  return 0;
}
