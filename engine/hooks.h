// The four hook records through which the engine's modules reach one another. Each record is
// filled by the initialisation of the module that serves it; an empty slot means that module
// is absent and the caller works without it. Slot numbers are given in comments.
#pragma once

#include <cstdint>
#include <string>

namespace engine {

class TMemoDevice;

struct TEngineServiceHooks {
  void (*ReportError)() = nullptr;             // 0
  std::string (*CurrentDbfName)() = nullptr;   // 1
  void* Slot2 = nullptr;                       // 2 (empty)
  int (*ReopenDbf)(bool exclusive) = nullptr;  // 3
  bool (*IsExclusive)() = nullptr;             // 4
  bool (*LockBaseByte)() = nullptr;            // 5
  void (*UnlockBaseByte)() = nullptr;          // 6
};

// Services of the index driver to the work-area routines.
struct TIndexDriverHooks {
  bool (*Find)(const std::string& key) = nullptr;   // 0
  bool (*PrimaryOpen)() = nullptr;                  // 1 slot 1 of the current area is open
  void (*SyncIndex)() = nullptr;                    // 2
  int32_t (*NextRec)() = nullptr;                   // 3
  int32_t (*PriorRec)() = nullptr;                  // 4
  int32_t (*FirstRec)() = nullptr;                  // 5
  int32_t (*LastRec)() = nullptr;                   // 6
  bool (*IndexEof)() = nullptr;                     // 7
  bool (*IndexBof)() = nullptr;                     // 8
  void (*AddRecordKeys)() = nullptr;                // 9
  std::string (*IndexFileName)(int slot) = nullptr;  // 10
  void (*BuildCurrentKeys)() = nullptr;             // 11
  void (*CompareKeys)() = nullptr;                  // 12
  std::string (*KeyText)(int slot) = nullptr;       // 13
  std::string (*OrderKeyText)() = nullptr;          // 14
  void (*SetStartFlag)() = nullptr;                 // 15
  void (*SetEndFlag)() = nullptr;                   // 16
  bool* FoundFlag = nullptr;                        // 17
  void (*Reindex)() = nullptr;                      // 18
  void (*CloseIndexes)() = nullptr;                 // 19
  bool (*NotDescending)(int slot) = nullptr;        // 20
  void* Slot21 = nullptr;                           // 21 (empty)
  bool (*IsSoundex)(int slot) = nullptr;            // 22
  void (*SetReadSemaphore)(bool on) = nullptr;      // 23
  void (*SetLockSemaphore)(bool on) = nullptr;      // 24
};

// Services of the expression parser.
struct TParserHooks {
  void* (*Compile)(const std::string& text) = nullptr;        // 0
  void (*FreeBlock)(void*& block) = nullptr;                   // 1
  const void* (*Evaluate)(void* block) = nullptr;              // 2
  std::string (*CopyResult)(void* block) = nullptr;            // 3
  const void* (*EvaluateCurrent)() = nullptr;                  // evaluates the current key block
  bool Present = false;                                        // the parser is linked in
};

// Services of the memo module. Slot signatures are fixed by the memo module.
struct TMemoHooks {
  bool (*AssignMemo)(TMemoDevice& f, int32_t& ref) = nullptr;       // 0
  void (*PackMemoFile)() = nullptr;                                 // 1
  int (*OpenMemoFile)(const std::string& base) = nullptr;           // 2: returns an error code
  void (*CloseMemoFile)() = nullptr;                                // 3
  int32_t (*CopyMemo)(uint8_t src_area, int32_t& ref) = nullptr;    // 4
  void (*CreateMemoFile)(const std::string& table_name) = nullptr;  // 5
  int32_t (*WriteTextMemo)(const std::string& s) = nullptr;         // 6
};

extern TEngineServiceHooks EngineServiceHooks;
extern TIndexDriverHooks IndexDriverHooks;
extern TParserHooks ParserHooks;
extern TMemoHooks MemoHooks;

// Empties all four records.
void ClearHooks();

}  // namespace engine
