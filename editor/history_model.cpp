#include "editor/history_model.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "editor/transcript.h"

namespace {

// The history as last saved or loaded, kept flat: taken at every save and
// load, it costs one copy of the bytes instead of one string per entry.
struct Snapshot {
  std::string Bytes;
  std::vector<size_t> Ends;  // where each entry ends in Bytes
};

Snapshot Take(const History &history) {
  Snapshot s;
  size_t total = 0;
  for (const std::string &entry : history) total += entry.size();
  s.Bytes.reserve(total);
  s.Ends.reserve(history.size());
  for (const std::string &entry : history) {
    s.Bytes += entry;
    s.Ends.push_back(s.Bytes.size());
  }
  return s;
}

bool Same(const Snapshot &s, const History &history) {
  if (s.Ends.size() != history.size()) return false;
  size_t start = 0;
  for (size_t i = 0; i < history.size(); ++i) {
    if (s.Bytes.compare(start, s.Ends[i] - start, history[i]) != 0)
      return false;
    start = s.Ends[i];
  }
  return true;
}

struct Deleted {
  size_t Number;  // where it stood, counted from 1
  std::string Entry;
};

struct Model {
  History Entries;
  std::vector<Deleted> Undo;  // the entries deleted, the last on top
  Snapshot Saved;             // as last saved or loaded
  size_t QuotedBytes = 0;     // of every entry as the file quotes it
  std::string Status;
  void (*Listener)(const ModelChange &) = nullptr;
} State;

void Tell(const ModelChange &change) {
  if (State.Listener) State.Listener(change);
}

void HistoryChanged(size_t select) {
  ModelChange change;
  change.History = true;
  change.Select = select;
  Tell(change);
}

std::string Count(size_t n, const char *one, const char *many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

size_t QuotedBytesOf(const History &history) {
  size_t bytes = 0;
  for (const std::string &entry : history) bytes += QuotedSize(entry);
  return bytes;
}

// Whether a history of `entries` entries quoting to `quotedBytes` can be
// saved and read back; otherwise says why, for the status line.
bool Fits(size_t entries, size_t quotedBytes, std::string &why) {
  if (entries > MaxHistoryEntries) {
    why = "the history would hold " + std::to_string(entries) +
          " entries, and a history file takes at most " +
          std::to_string(MaxHistoryEntries);
    return false;
  }
  const size_t bytes = FormattedSize(entries, quotedBytes);
  if (bytes > MaxHistoryFileBytes) {
    why = "its file would take " + std::to_string(bytes) +
          " bytes, and a history file takes at most " +
          std::to_string(MaxHistoryFileBytes);
    return false;
  }
  return true;
}

// A number from the window or a script names an entry, or says why not.
bool ValidEntry(size_t number) {
  if (number >= 1 && number <= State.Entries.size()) return true;
  SetStatus(State.Entries.empty()
                ? std::string("The history is empty")
                : "There is no history entry " + std::to_string(number) +
                      " (entries 1 to " + std::to_string(State.Entries.size()) +
                      ")");
  return false;
}

// Statements numbered from the current length on, each as short as a
// statement gets, so that a full history of them still fits a file.
std::string Generated(size_t number) {
  return "SELECT " + std::to_string(number) + " FROM t;";
}

// A whole history, as saved (the one the editor starts with, or one loaded)
// or not (work kept when a session ended, brought back).
void Adopt(History entries, size_t quotedBytes, size_t select,
           bool saved = true) {
  State.Undo.clear();  // the entries deleted belong to the history replaced
  if (saved) State.Saved = Take(entries);
  State.Entries = std::move(entries);
  State.QuotedBytes = quotedBytes;
  HistoryChanged(select);
}

}  // namespace

bool Blank(const std::string &s) {
  return s.find_first_not_of(" \t\r\n") == std::string::npos;
}

void SetModelListener(void (*listener)(const ModelChange &)) {
  State.Listener = listener;
}

const History &Entries() {
  return State.Entries;
}

const std::string &StatusText() {
  return State.Status;
}

bool Unsaved() {
  return !Same(State.Saved, State.Entries);
}

void SetStatus(const std::string &text) {
  State.Status = text;
  ModelChange change;
  change.Status = true;
  Tell(change);
  Say("status: " + text);
}

void StartHistory(History entries) {
  const size_t quoted = QuotedBytesOf(entries);
  Adopt(std::move(entries), quoted, 0);
}

bool RunStatement(const std::string &statement) {
  if (Blank(statement)) {
    SetStatus(
        "Nothing to run: the statement box is empty; the history is "
        "unchanged");
    return false;
  }
  const size_t quoted = QuotedSize(statement);
  std::string why;
  if (!Fits(State.Entries.size() + 1, State.QuotedBytes + quoted, why)) {
    SetStatus("Not run, the statement stays in its box: " + why +
              "; delete or clear history entries first");
    return false;
  }
  // Nothing is executed (there is no database): the editor only records
  // what it would have run, byte for byte.
  State.Entries.push_back(statement);
  State.QuotedBytes += quoted;
  HistoryChanged(State.Entries.size());
  SetStatus(
      "Ran the statement (no database here, nothing executed); it is "
      "history entry " +
      std::to_string(State.Entries.size()));
  return true;
}

void DeleteEntry(size_t number) {
  if (!ValidEntry(number)) return;
  State.QuotedBytes -= QuotedSize(State.Entries[number - 1]);
  State.Undo.push_back({number, std::move(State.Entries[number - 1])});
  State.Entries.erase(State.Entries.begin() + (number - 1));
  HistoryChanged(number <= State.Entries.size() ? number
                                                : State.Entries.size());
  SetStatus("Deleted history entry " + std::to_string(number) + "; " +
            Count(State.Entries.size(), "entry", "entries") + " left");
}

void UndoDelete() {
  if (State.Undo.empty()) {
    SetStatus(
        "Nothing to put back: no history entry was deleted since the "
        "history was last cleared or loaded");
    return;
  }
  const Deleted &last = State.Undo.back();
  const size_t quoted = QuotedSize(last.Entry);
  std::string why;
  if (!Fits(State.Entries.size() + 1, State.QuotedBytes + quoted, why)) {
    SetStatus("Not put back: " + why);
    return;
  }
  // Entries deleted before it were put back first, or stand deleted: its
  // place is still where it was, or the end of a history grown shorter.
  const size_t number = std::min(last.Number, State.Entries.size() + 1);
  State.Entries.insert(State.Entries.begin() + (number - 1),
                       std::move(State.Undo.back().Entry));
  State.Undo.pop_back();
  State.QuotedBytes += quoted;
  HistoryChanged(number);
  SetStatus("History entry " + std::to_string(number) + " is back");
}

bool RecallEntry(size_t number, std::string &text) {
  if (!ValidEntry(number)) return false;
  text = State.Entries[number - 1];
  SetStatus("History entry " + std::to_string(number) +
            " is back in the statement box: F5 runs it again");
  return true;
}

bool CanUndoDelete() {
  return !State.Undo.empty();
}

void ClearHistory() {
  const size_t removed = State.Entries.size();
  State.Entries.clear();
  State.Undo.clear();
  State.QuotedBytes = 0;
  HistoryChanged(0);
  SetStatus("History cleared: " + Count(removed, "entry", "entries") +
            " removed");
}

void FillHistory(size_t count) {
  const size_t first = State.Entries.size();
  History added;
  size_t quoted = 0;
  if (count <= MaxHistoryEntries) {  // a larger fill never fits: none made
    added.reserve(count);
    for (size_t i = 1; i <= count; ++i) {
      added.push_back(Generated(first + i));
      quoted += QuotedSize(added.back());
    }
  }
  std::string why;
  if (!Fits(first + count, State.QuotedBytes + quoted, why)) {
    SetStatus("Not filled: " + why);
    return;
  }
  State.Entries.insert(State.Entries.end(),
                       std::make_move_iterator(added.begin()),
                       std::make_move_iterator(added.end()));
  State.QuotedBytes += quoted;
  HistoryChanged(0);
  SetStatus("Added " + std::to_string(count) + " generated statements");
}

bool ReplaceHistory(History loaded, std::string &error, bool saved) {
  // The reader takes lines ended by a line feed alone, which the writer ends
  // with two bytes: such a file can be read and still be too large to write.
  const size_t quoted = QuotedBytesOf(loaded);
  if (!Fits(loaded.size(), quoted, error)) return false;
  const size_t last = loaded.size();
  Adopt(std::move(loaded), quoted, last, saved);
  return true;
}

void MarkSaved() {
  State.Saved = Take(State.Entries);
}
