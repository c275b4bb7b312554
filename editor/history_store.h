// Reading and writing the history file on disk, for the editor's services.
#pragma once

#include <windows.h>

#include <string>

#include "editor/history_file.h"

// Writes to a temporary file beside the target, then replaces the target,
// so a failed write leaves the old file as it was. A read-only target, and a
// history too large for LoadHistoryFile to take back, are refused.
bool SaveHistoryFile(const char *path, const History &history,
                     std::string &error);

// Where the file name starts in a path: after the last separator or drive
// colon, walked character by character, since in a double-byte code page a
// trail byte can be a backslash.
size_t NameStart(const std::string &path, UINT codePage = CP_ACP);

// Replaces history only when the whole file was read and understood.
bool LoadHistoryFile(const char *path, History &history, std::string &error);
