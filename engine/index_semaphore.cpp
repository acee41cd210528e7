#include "engine/index_semaphore.h"

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/bytes.h"
#include "engine/error.h"
#include "engine/index_common.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "platform/core/clock.h"
#include "platform/core/dos_error.h"
#include "platform/core/paths.h"

namespace engine {
namespace {

constexpr uint64_t kRegionOffset = 1;  // the 4-byte lock that serialises the file's updates
constexpr uint64_t kRegionLength = 4;
constexpr uint8_t kMaxReaders = 127;
constexpr int kOpenMode = platform::kModeReadWrite | platform::kShareDenyNone;
const char* const kCrLf = "\r\n";

std::array<std::unique_ptr<TSemaphoreRec>, kMaxSemaphoreArea + 1> g_areas;
std::array<int, kMaxArea + 1> g_read_counters{};
std::array<int, kMaxArea + 1> g_lock_counters{};

uint16_t Counter(const TSemaphoreRec& s) { return GetU16LE(s.Bytes + 2); }

// Tries `attempt` (true on success) about every IndexLockRetryMs until `total_ms` have
// passed. The number of tries is bounded too, so a frozen test clock cannot hang the loop.
template <typename F>
bool TimedRetry(uint32_t total_ms, F attempt) {
  const uint64_t start = platform::TickMs();
  const uint64_t max_tries = total_ms / (IndexLockRetryMs == 0 ? 1 : IndexLockRetryMs) + 1;
  for (uint64_t tries = 1;; ++tries) {
    if (attempt()) return true;
    if (platform::TickMs() - start >= total_ms || tries >= max_tries) return false;
    platform::SleepMs(IndexLockRetryMs);
  }
}

int ReadBytes(TSemaphoreRec& s) {
  size_t got = 0;
  const int rc = s.File.ReadAt(0, s.Bytes, 4, &got);
  if (rc != 0) return rc;
  return got == 4 ? 0 : platform::kDosReadError;
}

// Reads the bytes, retrying a failed read for SemaphoreReadRetryMs.
int ReadBytesRetrying(TSemaphoreRec& s) {
  int rc = 0;
  TimedRetry(SemaphoreReadRetryMs, [&] { return (rc = ReadBytes(s)) == 0; });
  return rc;
}

int WriteBytes(TSemaphoreRec& s) { return s.File.WriteAt(0, s.Bytes, 4); }

// Takes the 4-byte lock (timed retries); returns 0 or the code of the last try.
int LockRegion(TSemaphoreRec& s) {
  int rc = 0;
  TimedRetry(SemaphoreLockWaitMs, [&] {
    rc = LockRange(false, s.File, kRegionOffset, kRegionLength);
    return rc == 0;
  });
  if (rc == 0) s.LockHeld = true;
  return rc;
}

int UnlockRegion(TSemaphoreRec& s) {
  if (!s.LockHeld) return 0;
  s.LockHeld = false;
  return LockRange(true, s.File, kRegionOffset, kRegionLength);
}

bool LockTable() {
  return TimedRetry(TableLockWaitMs, [] { return LockBaseByte(); });
}

std::string LockFailureText(const TSemaphoreRec& s, const char* action, int rc) {
  return "10 second timeout: Cannot lock index semaphore file: " + s.FileName + " " + action +
         kCrLf + "Possible cause: Network lock limit exceeded" + kCrLf +
         " Lock result code: " + std::to_string(rc);
}

std::string TableLockFailureText(const std::string& name, const char* action) {
  return "Cannot lock database for: " + name + " Action=" + action + " [Database Semaphore]";
}

// Releases the 4-byte lock, then reports. The code of a failed unlock is ignored here: the
// first failure is the one reported.
void Fail(TSemaphoreRec& s, uint16_t code, const std::string& msg) {
  UnlockRegion(s);
  SetErrorAndRaise(code, msg);
}

std::string UnlockFailureText(const TSemaphoreRec& s, const char* action, int rc) {
  return "Cannot unlock index semaphore file: " + s.FileName + " " + action +
         " Reason code: " + std::to_string(rc);
}

// Releases the 4-byte lock and reports a failure to release it.
void UnlockOrFail(TSemaphoreRec& s, const char* action) {
  const int rc = UnlockRegion(s);
  if (rc != 0) SetErrorAndRaise(static_cast<uint16_t>(rc), UnlockFailureText(s, action, rc));
}

// Checks the area for an action: false (and error 254 for an area out of range) when the
// action has nothing to do.
bool AreaTakesPart(const char* routine) {
  if (CurrentArea < 1 || CurrentArea > kMaxSemaphoreArea) {
    SetErrorAndRaise(
        254, "Work area [" + std::to_string(CurrentArea) + " ] out of range. [" + routine + "]");
    return false;
  }
  const TWorkAreaRec* wa = CurrentWorkArea();
  return wa != nullptr && !wa->Exclusive;
}

void Login() {
  const uint8_t area = CurrentArea;
  if (g_areas[area]) return;
  if (!HeapHas(static_cast<int64_t>(sizeof(TSemaphoreRec)))) {
    SetErrorAndRaise(217, "[HandleSemafore]");
    return;
  }
  auto s = std::make_unique<TSemaphoreRec>();
  s->FileName = SemaphoreFileName(CurrentWorkArea()->Dbf.FileName);
  const char* action = SemaphoreActionName(smLogin);
  const std::string step2 = " Action=" + std::string(action) + " [Database Semaphore]";

  if (!LockTable()) {
    SetErrorAndRaise(1202, TableLockFailureText(s->FileName, action));
    return;
  }
  // Every failure from here on drops the half-made login, then releases the table.
  auto fail = [&](int code, const std::string& msg) {
    UnlockRegion(*s);
    s->File.Close();
    s.reset();
    UnlockBaseByte();
    SetErrorAndRaise(static_cast<uint16_t>(code), msg);
  };

  // Open first and create only a missing file: an existing file may be in use and must keep
  // its bytes. Logins and logouts hold the table lock, so none of them runs in between.
  int rc = s->File.Open(s->FileName, kOpenMode);
  if (rc == platform::kDosFileNotFound) {
    rc = s->File.Create(s->FileName, kOpenMode);
    if (rc != 0) return fail(rc, "Cannot open/create: " + s->FileName);
  } else if (rc != 0) {
    return fail(rc, "Cannot open: " + s->FileName + step2);
  }

  // Alone: every count in the file is a leftover of programs that ended, so start afresh.
  rc = s->File.Lock(kSemaphoreAliveOffset, 1, true);
  if (rc == 0) {
    s->Bytes[0] = s->Bytes[1] = s->Bytes[2] = s->Bytes[3] = 0;
    rc = WriteBytes(*s);
    if (rc == 0) rc = s->File.Truncate(4);
    if (rc != 0) return fail(rc, "Cannot write to: " + s->FileName + step2);
    rc = s->File.Lock(kSemaphoreAliveOffset, 1, false);
  } else if (rc == platform::kDosLockViolation) {
    // A peer holds the byte; someone testing whether the file is in use may hold it
    // exclusively for a moment.
    TimedRetry(TableLockWaitMs,
               [&] { return (rc = s->File.Lock(kSemaphoreAliveOffset, 1, false)) == 0; });
  }
  if (rc != 0) return fail(rc, "Cannot open: " + s->FileName + step2);

  rc = LockRegion(*s);
  if (rc != 0) return fail(1202, LockFailureText(*s, action, rc));
  rc = ReadBytes(*s);
  if (rc != 0) return fail(rc, "Cannot read: " + s->FileName + " " + action);
  if (s->Bytes[0] < 255) ++s->Bytes[0];
  rc = WriteBytes(*s);
  if (rc != 0) return fail(rc, "Cannot write to: " + s->FileName + " " + action);
  rc = UnlockRegion(*s);
  if (rc != 0) return fail(rc, UnlockFailureText(*s, action, rc));
  s->SeenCounter = Counter(*s);
  g_areas[area] = std::move(s);
  UnlockBaseByte();
}

void Logout() {
  const uint8_t area = CurrentArea;
  TSemaphoreRec* s = g_areas[area].get();
  if (s == nullptr) return;
  const char* action = SemaphoreActionName(smLogout);
  if (CurrentWorkArea() == nullptr) {
    // The table went first: closing the file still tells the others this area has gone.
    ReleaseAreaSemaphore(area);
    return;
  }
  const std::string name = s->FileName;
  if (!LockTable()) {
    ReleaseAreaSemaphore(area);
    SetErrorAndRaise(1202, TableLockFailureText(name, action));
    return;
  }
  uint16_t code = 0;
  std::string msg;
  const bool writing = s->LockHeld;
  int rc = LockRegion(*s);
  if (rc != 0) {
    code = 1202;
    msg = LockFailureText(*s, action, rc);
  } else if ((rc = ReadBytes(*s)) != 0) {
    code = static_cast<uint16_t>(rc);
    msg = "Cannot read: " + name + " " + action;
  } else {
    if (s->Reading && s->Bytes[1] > 0) --s->Bytes[1];
    if (writing) {
      // Leaving in the middle of a write: take the writer's mark off and let the others
      // re-read their headers.
      s->Bytes[1] = 0;
      PutU16LE(s->Bytes + 2, static_cast<uint16_t>(Counter(*s) + 1));
    }
    if (s->Bytes[0] > 0) --s->Bytes[0];
    rc = WriteBytes(*s);
    if (rc != 0) {
      code = static_cast<uint16_t>(rc);
      msg = "Cannot write to: " + name + " " + action;
    }
  }
  // The last one out deletes the file. Whether anyone is left is told by the liveness lock,
  // not by the count, which a program that died may have left too high.
  const bool alone = s->File.Lock(kSemaphoreAliveOffset, 1, true) == 0;
  rc = UnlockRegion(*s);
  if (rc != 0 && code == 0) {
    code = static_cast<uint16_t>(rc);
    msg = UnlockFailureText(*s, action, rc);
  }
  if (alone) std::remove(name.c_str());
  ReleaseAreaSemaphore(area);
  UnlockBaseByte();
  if (code != 0) SetErrorAndRaise(code, msg);
}

void IncRead(TSemaphoreRec& s) {
  const char* action = SemaphoreActionName(smIncRead);
  if (++s.ReadDepth != 1) return;
  if (s.LockHeld || s.Reading) return;
  int rc = LockRegion(s);
  if (rc != 0) {
    --s.ReadDepth;
    return SetErrorAndRaise(1202, LockFailureText(s, action, rc));
  }
  if ((rc = ReadBytes(s)) != 0) {
    --s.ReadDepth;
    return Fail(s, static_cast<uint16_t>(rc), "Cannot read: " + s.FileName + " " + action);
  }
  const bool counted = s.Bytes[1] < kMaxReaders;
  if (counted) ++s.Bytes[1];
  if ((rc = WriteBytes(s)) != 0) {
    --s.ReadDepth;
    return Fail(s, static_cast<uint16_t>(rc), "Cannot write to: " + s.FileName + " " + action);
  }
  s.Reading = counted;
  UnlockOrFail(s, action);
}

void DecRead(TSemaphoreRec& s) {
  const char* action = SemaphoreActionName(smDecRead);
  if (--s.ReadDepth < 0) {
    s.ReadDepth = 0;
    return SetErrorAndRaise(
        254, "Unbalanced IncRead/DecRead for semaphore file: " + s.FileName + " " + action);
  }
  if (s.ReadDepth != 0) return;
  if (s.LockHeld || !s.Reading) return;
  int rc = LockRegion(s);
  if (rc != 0) return SetErrorAndRaise(1202, LockFailureText(s, action, rc));
  if ((rc = ReadBytes(s)) != 0) {
    return Fail(s, static_cast<uint16_t>(rc), "Cannot read: " + s.FileName + " " + action);
  }
  if (s.Bytes[1] > 0) --s.Bytes[1];
  if ((rc = WriteBytes(s)) != 0) {
    return Fail(s, static_cast<uint16_t>(rc), "Cannot write to: " + s.FileName + " " + action);
  }
  s.Reading = false;
  UnlockOrFail(s, action);
}

std::string ReadTimeoutText(const TSemaphoreRec& s) {
  return std::to_string(ReadWaitTicks / 18) + " second timeout, cannot read: " + s.FileName +
         kCrLf + "Possible cause: Other user's program has terminated abnormally." + kCrLf +
         "Cure: Log all users of this application off the network," + kCrLf + "then delete " +
         s.FileName;
}

void LockSemaphore(TSemaphoreRec& s) {
  const char* action = SemaphoreActionName(smLockSemaphore);
  if (++s.LockDepth != 1 || s.LockHeld) return;
  // This area's own place in the read count does not keep it waiting.
  const uint8_t own = s.Reading ? 1 : 0;
  const auto start = static_cast<uint32_t>(TimerTicks());
  for (;;) {
    int rc = ReadBytesRetrying(s);
    if (rc != 0) {
      --s.LockDepth;
      return SetErrorAndRaise(static_cast<uint16_t>(rc),
                              "Cannot read: " + s.FileName + " " + action);
    }
    if ((rc = LockRegion(s)) != 0) {
      --s.LockDepth;
      return SetErrorAndRaise(1202, LockFailureText(s, action, rc));
    }
    if ((rc = ReadBytes(s)) != 0) {
      --s.LockDepth;
      return Fail(s, static_cast<uint16_t>(rc), "Cannot read: " + s.FileName + " " + action);
    }
    if (s.Bytes[1] <= own) break;
    if ((rc = UnlockRegion(s)) != 0) {
      --s.LockDepth;
      return SetErrorAndRaise(static_cast<uint16_t>(rc), UnlockFailureText(s, action, rc));
    }
    const uint32_t waited = static_cast<uint32_t>(TimerTicks()) - start;
    if (ReadWaitTicks != 0 && waited >= ReadWaitTicks) {
      --s.LockDepth;
      return SetErrorAndRaise(1202, ReadTimeoutText(s));
    }
    platform::SleepMs(IndexLockRetryMs);
  }
  s.Bytes[1] = 1;
  if (const int rc = WriteBytes(s); rc != 0) {
    --s.LockDepth;
    return Fail(s, static_cast<uint16_t>(rc), "Cannot write to: " + s.FileName + " " + action);
  }
}

void UnlockSemaphore(TSemaphoreRec& s) {
  const char* action = SemaphoreActionName(smUnlockSemaphore);
  if (--s.LockDepth < 0) {
    s.LockDepth = 0;
    return Fail(s, 254, "Unbalanced Lock/Unlock for semaphore file: " + s.FileName + " " + action);
  }
  if (s.LockDepth != 0 || !s.LockHeld) return;
  if (const int rc = ReadBytes(s); rc != 0) {
    return Fail(s, static_cast<uint16_t>(rc), "Cannot read: " + s.FileName + " " + action);
  }
  // Only this write is known to be seen: a change of another program that came before it
  // and was never taken in stays due for the next change check.
  const bool seen_all = Counter(s) == s.SeenCounter;
  const auto counter = static_cast<uint16_t>(Counter(s) + 1);
  PutU16LE(s.Bytes + 2, counter);
  // A writer that is also counted as a reader stays counted.
  s.Bytes[1] = s.Reading ? 1 : 0;
  if (const int rc = WriteBytes(s); rc != 0) {
    return Fail(s, static_cast<uint16_t>(rc), "Cannot write to: " + s.FileName + " " + action);
  }
  if (seen_all) s.SeenCounter = counter;
  UnlockOrFail(s, action);
}

// The hook procedures' common part.
void CountedAction(std::array<int, kMaxArea + 1>& counters, bool on, uint8_t act_on,
                   uint8_t act_off, const char* routine) {
  if (CurrentArea > kMaxArea) return;
  int& counter = counters[CurrentArea];
  if (on) {
    if (counter == 0) HandleSemafore(act_on);
    ++counter;
    return;
  }
  if (--counter < 0) {
    counter = 0;
    SetError(254, std::string("Non-symmetrical Lock-Unlock [") + routine + "]");
    return;
  }
  if (counter == 0) HandleSemafore(act_off);
}

}  // namespace

const char* SemaphoreActionName(uint8_t action) {
  static const char* const kNames[] = {"LOGIN",   "LOGOUT",        "INCREAD",
                                       "DECREAD", "LOCKSEMAPHORE", "UNLOCKSEMAPHORE"};
  return action < 6 ? kNames[action] : "";
}

std::string SemaphoreFileName(const std::string& dbf_name) {
  std::string name = ChangeExt(dbf_name, ".@S@");
  if (!IndexDir.empty()) {
    std::string dir, base, ext;
    FileSplit(name, dir, base, ext);
    std::string folder = IndexDir;
    if (folder.back() != '/' && folder.back() != '\\') folder += '/';
    name = folder + base + ext;
  }
  return platform::ResolveCase(name);
}

void HandleSemafore(uint8_t action) {
  if (!AreaTakesPart("HandleSemafore")) return;
  if (action == smLogin) return Login();
  TSemaphoreRec* s = g_areas[CurrentArea].get();
  if (s == nullptr) return;
  switch (action) {
    case smLogout:
      return Logout();
    case smIncRead:
      return IncRead(*s);
    case smDecRead:
      return DecRead(*s);
    case smLockSemaphore:
      return LockSemaphore(*s);
    case smUnlockSemaphore:
      return UnlockSemaphore(*s);
    default:
      return;
  }
}

void SetReadSemaphoreProc(bool on) {
  CountedAction(g_read_counters, on, smIncRead, smDecRead, "SetReadSemaphoreProc");
}

void SetLockSemaphoreProc(bool on) {
  CountedAction(g_lock_counters, on, smLockSemaphore, smUnlockSemaphore, "SetLockSemaphoreProc");
}

bool SemaphoreChangeCheck(const std::function<void()>& reread_headers) {
  if (CurrentArea < 1 || CurrentArea > kMaxSemaphoreArea) return false;
  const TWorkAreaRec* wa = CurrentWorkArea();
  TSemaphoreRec* s = g_areas[CurrentArea].get();
  if (wa == nullptr || wa->Exclusive || s == nullptr) return false;
  // Read without the lock: a change seen late is seen at the next check. While this area
  // writes, nobody else can have changed anything.
  if (!s->LockHeld) {
    if (const int rc = ReadBytes(*s); rc != 0) {
      SetErrorAndRaise(static_cast<uint16_t>(rc), "Cannot read: " + s->FileName);
      return false;
    }
  }
  const uint16_t counter = Counter(*s);
  if (counter == s->SeenCounter) return false;
  if (reread_headers) reread_headers();
  s->SeenCounter = counter;
  return true;
}

bool SemaphoreFileInUse(const std::string& name) {
  // Opened for writing: on a read-only descriptor the exclusive test would become a read lock
  // and always succeed. A file that exists but cannot be opened counts as in use.
  platform::File f;
  const int rc = f.Open(name, kOpenMode);
  if (rc != 0) return rc != platform::kDosFileNotFound && rc != platform::kDosPathNotFound;
  return f.Lock(kSemaphoreAliveOffset, 1, true) == platform::kDosLockViolation;
}

TSemaphoreRec* AreaSemaphore(uint8_t area) {
  return area >= 1 && area <= kMaxSemaphoreArea ? g_areas[area].get() : nullptr;
}

void ReleaseAreaSemaphore(uint8_t area) {
  if (area > kMaxArea) return;
  g_read_counters[area] = 0;
  g_lock_counters[area] = 0;
  if (area <= kMaxSemaphoreArea) g_areas[area].reset();  // closing the file drops its locks
}

void InitIndexSemaphore() {
  for (uint8_t area = 0; area <= kMaxArea; ++area) ReleaseAreaSemaphore(area);
}

}  // namespace engine
