// The stand-in editor's history store on the platform's real file system: a
// save that cannot happen leaves the previous file byte for byte and nothing
// beside it; a file that is not a whole history is refused and the history
// stays as it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "editor/history_file.h"
#include "editor/history_store.h"
#include "host/windows_path.h"
#include "tests/import_table.h"
#include "tests/report.h"

namespace {

bool WriteBytes(const std::string &path, const std::string &bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  CloseHandle(file);
  return ok;
}

// The whole file, or "<none>" when it cannot be read.
std::string ReadBytes(const std::string &path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<none>";
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  if (!bytes.empty()) ReadFile(file, &bytes[0], DWORD(bytes.size()), &read, 0);
  CloseHandle(file);
  return read == bytes.size() ? bytes : "<short read>";
}

std::vector<std::string> Names(const std::string &folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTree(const std::string &path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileA(path.c_str());
    return;
  }
  for (const std::string &name : Names(path)) RemoveTree(path + "\\" + name);
  RemoveDirectoryA(path.c_str());
}

// Without printing megabytes when they differ.
#define EXPECT_SAME_BYTES(actual, expected)                               \
  do {                                                                    \
    const std::string a = (actual), e = (expected);                       \
    EXPECT_TRUE(a == e) << #actual " has " << a.size()                    \
                        << " bytes: " << a.substr(0, 80) << "\nexpected " \
                        << e.size() << " bytes: " << e.substr(0, 80);     \
  } while (0)

// A folder of its own for each test, empty at the start.
class HistoryStore : public ::testing::Test {
 protected:
  void SetUp() override {
    const char *work = std::getenv("HISTORY_STORE_WORK");
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    std::string root = work ? WindowsPath(work) : std::string(temp) + "store";
    CreateDirectoryA(root.c_str(), nullptr);
    Folder = root + "\\" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    RemoveTree(Folder);
    ASSERT_TRUE(CreateDirectoryA(Folder.c_str(), nullptr)) << Folder;
  }

  // A fresh, empty folder for one case.
  std::string CaseFolder(const std::string &name) {
    const std::string folder = Folder + "\\" + name;
    RemoveTree(folder);
    EXPECT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
    return folder;
  }

  // A fresh, empty folder in the short temporary folder, for paths that must
  // leave room below them; removed again when the test ends.
  std::string ShortFolder(const std::string &name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + "h259-" +
                               std::to_string(GetCurrentProcessId()) + "-" +
                               name;
    RemoveTree(folder);
    EXPECT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
    Short.push_back(folder);
    return folder;
  }
  void TearDown() override {
    for (const std::string &folder : Short) RemoveTree(folder);
  }

  std::string Folder;
  std::vector<std::string> Short;
};

// The files a save creates anew, by path: its temporary files. Seen through
// this program's own import of CreateFileA, which the store calls.
std::vector<std::string> Created;
// What another program puts at the first temporary name just before the save
// tries it, so that the name is certainly taken.
enum class Taken { No, ByFile, ByFolder } TakeFirstName = Taken::No;
decltype(&CreateFileA) PlatformCreateFileA;
HANDLE WINAPI RecordingCreateFileA(LPCSTR path, DWORD access, DWORD share,
                                   LPSECURITY_ATTRIBUTES security,
                                   DWORD disposition, DWORD flags,
                                   HANDLE model) {
  if (disposition == CREATE_NEW && Created.empty()) {
    if (TakeFirstName == Taken::ByFile) EXPECT_TRUE(WriteBytes(path, "mine"));
    if (TakeFirstName == Taken::ByFolder)
      EXPECT_TRUE(CreateDirectoryA(path, nullptr));
  }
  if (disposition == CREATE_NEW) Created.push_back(path);
  HANDLE file = PlatformCreateFileA(path, access, share, security, disposition,
                                    flags, model);
  // Windows refuses a folder where a file is wanted with "access denied",
  // which the store must take as a name in use; Wine answers "file exists",
  // as for a file. Answer as Windows does, so that path is taken here too.
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesA(path);
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES &&
                        (attributes & FILE_ATTRIBUTE_DIRECTORY);
    SetLastError(folder ? ERROR_ACCESS_DENIED : error);
  }
  return file;
}

// The digit a one-character target's temporary names are tried from, or -1
// to leave it to chance: the store draws it from the process id and the
// clock, stood in for here (the process id as 0, the clock as the digit).
int FirstDigit = -1;
decltype(&GetTickCount) PlatformGetTickCount;
decltype(&GetCurrentProcessId) PlatformGetCurrentProcessId;
DWORD WINAPI SteeredGetTickCount() {
  return FirstDigit < 0 ? PlatformGetTickCount() : DWORD(FirstDigit);
}
DWORD WINAPI SteeredGetCurrentProcessId() {
  return FirstDigit < 0 ? PlatformGetCurrentProcessId() : 0;
}

// Saves, and checks the name of every temporary file the save created: "~"
// and hex digits, ".tmp" after them where it fits, never longer than
// the target's name (so its path fits wherever the target's does) and never
// the target's; beside a one-character name, one hex digit alone, which no
// device is called.
bool SaveWatched(const std::string &target, const History &history,
                 std::string &error) {
  if (!PlatformCreateFileA) {
    PlatformCreateFileA = reinterpret_cast<decltype(&CreateFileA)>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateFileA"));
    EXPECT_TRUE(ReplaceImport(GetModuleHandleA(nullptr), "kernel32.dll",
                              "CreateFileA",
                              reinterpret_cast<void *>(&RecordingCreateFileA)));
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    PlatformGetTickCount = reinterpret_cast<decltype(&GetTickCount)>(
        GetProcAddress(kernel, "GetTickCount"));
    PlatformGetCurrentProcessId =
        reinterpret_cast<decltype(&GetCurrentProcessId)>(
            GetProcAddress(kernel, "GetCurrentProcessId"));
    EXPECT_TRUE(ReplaceImport(GetModuleHandleA(nullptr), "kernel32.dll",
                              "GetTickCount",
                              reinterpret_cast<void *>(&SteeredGetTickCount)));
    EXPECT_TRUE(ReplaceImport(
        GetModuleHandleA(nullptr), "kernel32.dll", "GetCurrentProcessId",
        reinterpret_cast<void *>(&SteeredGetCurrentProcessId)));
  }
  Created.clear();
  const bool saved = SaveHistoryFile(target.c_str(), history, error);
  EXPECT_FALSE(Created.empty()) << "no temporary file seen";
  const std::string name = target.substr(target.rfind('\\') + 1);
  for (const std::string &path : Created) {
    const std::string temp = path.substr(path.rfind('\\') + 1);
    SCOPED_TRACE("temporary file " + temp + " beside " + name);
    EXPECT_EQ(path.substr(0, path.size() - temp.size()),
              target.substr(0, target.size() - name.size()));
    EXPECT_LE(temp.size(), name.size());
    EXPECT_NE(lstrcmpiA(temp.c_str(), name.c_str()), 0);
    std::string digits = temp;
    if (name.size() > 1) {
      EXPECT_EQ(temp[0], '~');
      digits.erase(0, 1);
    }
    // ".tmp" wherever it fits beside "~" and eight digits; as many digits as
    // fit up to eight, so that as many names as can be are tried.
    const bool extension = name.size() >= 13;
    EXPECT_EQ(temp.size() > 4 && temp.substr(temp.size() - 4) == ".tmp",
              extension);
    if (extension) digits.resize(digits.size() - 4);
    EXPECT_EQ(digits.size(),
              std::min<size_t>(8, std::max<size_t>(1, name.size() - 1)));
    EXPECT_EQ(digits.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  }
  return saved;
}

const History Current = {"SELECT 1;", "SELECT *\r\n  FROM orders;"};
const History Kept = {"kept", "as it was"};
// Not what a save would write, so a replaced file cannot pass for it.
const std::string PreviousFile =
    "[History]\r\nCount=1\r\nEntry1=\"the previous file\"\r\n";

TEST_F(HistoryStore, UnwritableTargetRefusesAndKeepsThePreviousFile) {
  const struct {
    const char *Why;
    const char *Target;  // in the case's folder
    DWORD Attributes;    // given to the previous file
    bool HeldOpen;       // by a handle that shares nothing
    const char *Error;
  } cases[] = {
      {"read-only file", "history.ini", FILE_ATTRIBUTE_READONLY, false,
       "is read-only"},
      {"missing folder", "no such folder\\history.ini", 0, false,
       "does not exist"},
      {"held open without sharing", "history.ini", FILE_ATTRIBUTE_NORMAL, true,
       "in use by another program"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Why);
    const std::string folder = CaseFolder(c.Why);
    const std::string target = folder + "\\" + c.Target;
    if (c.Attributes) {
      ASSERT_TRUE(WriteBytes(target, PreviousFile));
      ASSERT_TRUE(SetFileAttributesA(target.c_str(), c.Attributes));
    }
    const std::vector<std::string> before = Names(folder);
    HANDLE held = INVALID_HANDLE_VALUE;
    if (c.HeldOpen) {
      held = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }
    std::string error;
    const bool saved = SaveHistoryFile(target.c_str(), Current, error);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_FALSE(saved);
    EXPECT_NE(error.find(c.Error), std::string::npos) << error;
    EXPECT_NE(error.find(target), std::string::npos) << error;
    if (c.Attributes) EXPECT_SAME_BYTES(ReadBytes(target), PreviousFile);
    EXPECT_EQ(Names(folder), before) << "nothing left beside the target";
  }
  Report("history-store",
         "unwritable targets (read-only, missing folder, held open)",
         std::size(cases), HasFailure(), "refused, previous file intact");
}

// 100,000 entries whose file takes exactly 4 MiB plus `over` bytes.
History AtBothLimits(size_t over) {
  const size_t quoted =
      MaxHistoryFileBytes + over - FormattedSize(MaxHistoryEntries, 0);
  History history(MaxHistoryEntries,
                  std::string(quoted / MaxHistoryEntries - 2, 'x'));
  history.back() += std::string(quoted % MaxHistoryEntries, 'y');
  return history;
}

TEST_F(HistoryStore, HistoryAtBothLimitsSavesAndLoadsBack) {
  const History history = AtBothLimits(0);
  ASSERT_EQ(FormatHistory(history).size(), MaxHistoryFileBytes);
  const std::string target = CaseFolder("limits") + "\\history.ini";
  ASSERT_TRUE(WriteBytes(target, PreviousFile));
  std::string error;
  EXPECT_TRUE(SaveHistoryFile(target.c_str(), history, error)) << error;
  History loaded;
  EXPECT_TRUE(LoadHistoryFile(target.c_str(), loaded, error)) << error;
  EXPECT_TRUE(loaded == history) << loaded.size() << " entries loaded";
  Report("history-store", "100,000 entries in exactly 4 MiB", 1, HasFailure(),
         "saved and loaded back");
}

TEST_F(HistoryStore, HistoryTheLoaderWouldRefuseIsNotSaved) {
  const struct {
    const char *Why;
    History Entries;
    const char *Error;
  } cases[] = {
      {"one byte over 4 MiB", AtBothLimits(1), "too large"},
      {"over 4 MiB", {std::string(MaxHistoryFileBytes, 'x')}, "too large"},
      {"too many entries", History(MaxHistoryEntries + 1, "x"), "too many"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Why);
    const std::string folder = CaseFolder(c.Why);
    const std::string target = folder + "\\history.ini";
    ASSERT_TRUE(WriteBytes(target, PreviousFile));
    std::string error;
    EXPECT_FALSE(SaveHistoryFile(target.c_str(), c.Entries, error));
    EXPECT_NE(error.find(c.Error), std::string::npos) << error;
    EXPECT_SAME_BYTES(ReadBytes(target), PreviousFile);
    EXPECT_EQ(Names(folder), std::vector<std::string>{"history.ini"});
  }
  Report("history-store",
         "histories too large to load again (4 MiB and one byte, 100001 "
         "entries)",
         std::size(cases), HasFailure(), "refused, previous file intact");
}

template <size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

std::string RandomBytes(size_t size) {
  std::mt19937 random(20240611);
  std::string bytes(size, '\0');
  for (char &b : bytes) b = char(random());
  return bytes;
}

// Padded with one entry to exactly this many bytes: only its size is wrong.
std::string HistoryOfSize(size_t size) {
  const std::string head = "[History]\r\nCount=1\r\nEntry1=\"";
  const std::string tail = "\"\r\n";
  return head + std::string(size - head.size() - tail.size(), 'x') + tail;
}

TEST_F(HistoryStore, DamagedFileIsRefusedAndTheHistoryKept) {
  const std::string good = FormatHistory({"one", "two\ttabbed", "three"});
  const size_t inTwo = good.find("two");
  const size_t inEscape = good.find("\\t") + 1;
  const struct {
    const char *Why;
    std::string Bytes;
    const char *Error;
  } cases[] = {
      {"cut mid-entry", good.substr(0, inTwo + 2), "entry 2"},
      {"cut mid-escape", good.substr(0, inEscape), "entry 2"},
      {"last line missing", good.substr(0, good.find("Entry3")), "entry 3"},
      {"count line missing", good.substr(0, good.find("\r\n") + 2),
       "entry count"},
      {"empty", "", "not a history file"},
      {"other section", "[Settings]\r\nCount=0\r\n", "not a history file"},
      {"entry without quotes", "[History]\r\nCount=1\r\nEntry1=SELECT 1;\r\n",
       "entry 1"},
      {"unknown escape", "[History]\r\nCount=1\r\nEntry1=\"\\q\"\r\n",
       "entry 1"},
      {"text after the last entry", good + "Entry4=\"four\"\r\n",
       "after its last entry"},
      {"NULs in the header", Bytes("[Hist\0ry]\r\nCount=0\r\n"),
       "not a history file"},
      {"NUL inside an entry",
       Bytes("[History]\r\nCount=1\r\nEntry1=\"a\0b\"\r\n"), "entry 1"},
      {"random bytes", RandomBytes(64 * 1024), "not a history file"},
      {"10 MB", HistoryOfSize(10 * 1024 * 1024), "too large"},
      {"one byte over 4 MiB", HistoryOfSize(MaxHistoryFileBytes + 1),
       "too large"},
  };
  const std::string folder = CaseFolder("files");
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Why);
    const std::string path = folder + "\\" + c.Why + ".ini";
    ASSERT_TRUE(WriteBytes(path, c.Bytes));
    History history = Kept;
    std::string error;
    EXPECT_FALSE(LoadHistoryFile(path.c_str(), history, error));
    EXPECT_NE(error.find(c.Error), std::string::npos) << error;
    EXPECT_EQ(history, Kept);
  }
  Report("history-store", "damaged files (truncated, malformed, binary, 10 MB)",
         std::size(cases), HasFailure(), "refused, history kept");
}

// A path of exactly this length: the folder is nested until only the file
// name is left, with no component longer than the file system allows.
std::string PathOfLength(const std::string &folder, size_t length,
                         const std::string &name) {
  std::string path = folder;
  while (path.size() + 1 + name.size() < length) {
    const size_t room = length - path.size() - 1 - name.size();
    // Never leave room for a separator alone.
    const size_t part =
        room - 1 <= 100 ? room - 1 : (room - 1 - 100 == 1 ? 99 : 100);
    path += "\\" + std::string(part, 'd');
    EXPECT_TRUE(CreateDirectoryA(path.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS)
        << path;
  }
  return path + "\\" + name;
}

TEST_F(HistoryStore, LongestTargetPathSavesAndLoads) {
  // The plug-ins hand over up to 259 characters, the platform's limit.
  // ".tmp" fits in a temporary name from 13 characters on.
  const char *names[] = {"h",
                         "hi",
                         "hist9.ini",
                         "hist10.ini",
                         "history.ini",
                         "history1.ini",
                         "history12.ini",
                         "a long file name for the history file.ini"};
  for (const char *name : names) {
    SCOPED_TRACE(name);
    // A short folder of its own, since the work folder may lie deep.
    const std::string folder =
        ShortFolder(std::string("n") + std::to_string(strlen(name)));
    ASSERT_LE(folder.size(), 150u) << "no short folder for the case";
    const std::string target = PathOfLength(folder, MAX_PATH - 1, name);
    ASSERT_EQ(target.size(), 259u);
    const std::string inner = target.substr(0, target.rfind('\\'));
    ASSERT_TRUE(WriteBytes(target, PreviousFile));
    std::string error;
    EXPECT_TRUE(SaveWatched(target, Current, error)) << error;
    History loaded;
    EXPECT_TRUE(LoadHistoryFile(target.c_str(), loaded, error)) << error;
    EXPECT_EQ(loaded, Current);
    EXPECT_EQ(Names(inner), std::vector<std::string>{name});
  }
  Report("history-store",
         "target path of 259 characters (names of 1, 2, 9, 10, 11, 12, 13 and "
         "41 characters)",
         std::size(names), HasFailure(), "saved and loaded back");
}

TEST_F(HistoryStore, SaveNeverTouchesOtherFilesBesideTheTarget) {
  const struct {
    const char *Why;
    const char *Target;
    std::vector<std::string> Others;
    Taken First;             // the first temporary name tried
    int FirstDigit;          // a one-character target's, or -1
    const char *FirstTried;  // then the name of the first file tried
  } cases[] = {
      // A file of the name a temporary file once had.
      {"usual name",
       "history.ini",
       {"history.ini.saving", "history.tmp"},
       Taken::No,
       -1,
       nullptr},
      // A one-character name leaves the fewest names for a temporary file
      // that must fit where the target does: all but one are taken here,
      // and the free one is the last name tried.
      {"crowded",
       "7",
       {"0", "1", "2", "3", "4", "5", "6", "8", "9", "A", "B", "D", "E", "F"},
       Taken::No,
       0xD,
       "D"},
      // The target's own name in other letters is the target all the same.
      {"target a digit in lower case", "c", {}, Taken::No, 0xC, "D"},
      // A folder answers otherwise than a file does; both mean "try the
      // next name", not "give up".
      {"first name a file", "history.ini", {}, Taken::ByFile, -1, nullptr},
      {"first name a folder", "history.ini", {}, Taken::ByFolder, -1, nullptr},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Why);
    const std::string folder = CaseFolder(c.Why);
    const std::string target = folder + "\\" + c.Target;
    for (const std::string &name : c.Others) {
      ASSERT_TRUE(WriteBytes(folder + "\\" + name, "mine " + name));
    }
    ASSERT_TRUE(WriteBytes(target, PreviousFile));
    std::vector<std::string> before = Names(folder);
    std::string error;
    TakeFirstName = c.First;
    FirstDigit = c.FirstDigit;
    EXPECT_TRUE(SaveWatched(target, Current, error)) << error;
    TakeFirstName = Taken::No;
    FirstDigit = -1;
    if (c.FirstTried && !Created.empty()) {
      EXPECT_EQ(Created[0], folder + "\\" + c.FirstTried);
    }
    EXPECT_SAME_BYTES(ReadBytes(target), FormatHistory(Current));
    for (const std::string &name : c.Others) {
      EXPECT_EQ(ReadBytes(folder + "\\" + name), "mine " + name);
    }
    if (c.First != Taken::No) {
      ASSERT_GE(Created.size(), 2u) << "the taken name was not passed over";
      const std::string &taken = Created[0];
      const DWORD attributes = GetFileAttributesA(taken.c_str());
      EXPECT_EQ(attributes != INVALID_FILE_ATTRIBUTES &&
                    (attributes & FILE_ATTRIBUTE_DIRECTORY),
                c.First == Taken::ByFolder);
      if (c.First == Taken::ByFile) EXPECT_EQ(ReadBytes(taken), "mine");
      before.push_back(taken.substr(taken.rfind('\\') + 1));
      std::sort(before.begin(), before.end());
    }
    EXPECT_EQ(Names(folder), before);
  }
  Report("history-store",
         "names beside the target (old temporary name, 14 short names taken, "
         "the target's in lower case, the first temporary name a file or a "
         "folder)",
         std::size(cases), HasFailure(), "saved, other files untouched");
}

TEST(HistoryStorePaths, FileNameStartsAfterTheLastSeparatorInAnyCodePage) {
  // A folder, then a katakana letter whose trail byte is 0x5C in code page
  // 932: taken for a separator, it would put the temporary file elsewhere.
  const std::string path = "C:\\dir\\\x83\x5C.ini";
  ASSERT_TRUE(IsDBCSLeadByteEx(932, 0x83)) << "code page 932 is not available";
  EXPECT_EQ(NameStart(path, 932), 7u) << "a trail byte taken for a separator";
  EXPECT_EQ(NameStart(path, 1252), 9u);
  EXPECT_EQ(NameStart("history.ini", 932), 0u);
  EXPECT_EQ(NameStart("C:history.ini", 932), 2u);
  EXPECT_EQ(NameStart("C:\\dir\\", 932), 7u);
}

}  // namespace
