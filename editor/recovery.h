// Work kept when the session ends without waiting for the person (Windows
// cannot wait, or the person ends it while the editor's question is up):
// the unsaved history and the statement not run, written to a folder of
// their own under the editor's folder for such files, and offered back at
// the next start. A kept folder is never written over: each session end
// takes a new one.
#pragma once

#include <string>

#include "editor/history_file.h"

struct KeptWork {
  std::wstring Folder;  // empty when nothing is kept
  bool HasHistory = false;
  History Entries;
  bool HasStatement = false;
  std::wstring Statement;
};

// Writes what is given (a history, a statement, or both); false with
// `error` when it could not be kept whole. `where` names the folder.
bool KeepWork(const History *history, const std::wstring *statement,
              std::wstring &where, std::string &error);
// The work kept longest ago, or an empty Folder; a folder that cannot be
// read is left for a person to look at, and `error` says so.
KeptWork OldestKeptWork(std::string &error);
// The work is back in the editor: its folder goes.
void ForgetKeptWork(const KeptWork &kept);
