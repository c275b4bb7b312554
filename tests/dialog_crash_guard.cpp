#include "tests/dialog_crash_guard.h"

#include <cstdio>

#include "tests/import_table.h"

namespace {

HMODULE Guarded;
DialogFunction Target;
volatile bool InDialog;

BOOL WINAPI RecordedDialog(void *record) {
  InDialog = true;
  const BOOL result = Target(record);
  InDialog = false;
  return result;
}

bool IsCrash(DWORD code) {
  return code == EXCEPTION_ACCESS_VIOLATION ||
         code == EXCEPTION_ILLEGAL_INSTRUCTION ||
         code == EXCEPTION_PRIV_INSTRUCTION ||
         code == EXCEPTION_STACK_OVERFLOW ||
         code == STATUS_STACK_BUFFER_OVERRUN;
}

LONG CALLBACK OnException(EXCEPTION_POINTERS *e) {
  const EXCEPTION_RECORD &r = *e->ExceptionRecord;
  if (!IsCrash(r.ExceptionCode) || !InDialog ||
      IsInsideImage(Guarded, r.ExceptionAddress)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  std::fprintf(stderr,
               "crash 0x%08lX at %p, inside the platform's dialog call\n",
               r.ExceptionCode, r.ExceptionAddress);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), PlatformDialogCrashed);
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

bool GuardDialogCalls(HMODULE library, const char *dialogImport,
                      DialogFunction dialog) {
  Guarded = library;
  Target = dialog ? dialog
                  : reinterpret_cast<DialogFunction>(GetProcAddress(
                        GetModuleHandleA("comdlg32.dll"), dialogImport));
  if (!Target) return false;
  AddVectoredExceptionHandler(1, OnException);
  return ReplaceImport(library, "comdlg32.dll", dialogImport,
                       reinterpret_cast<void *>(&RecordedDialog));
}
