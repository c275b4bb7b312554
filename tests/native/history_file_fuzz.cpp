// libFuzzer target: the reader must never crash, and whatever it accepts
// must write back to a file it reads the same way.
#include <cstdint>
#include <cstdlib>

#include "editor/history_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  History history;
  std::string error;
  std::string_view text(reinterpret_cast<const char *>(data), size);
  if (ParseHistory(text, history, error)) {
    History again;
    if (!ParseHistory(FormatHistory(history), again, error) ||
        again != history) {
      std::abort();
    }
  }
  return 0;
}
