#include "engine/engine.h"

#include "engine/dates.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/expr.h"
#include "engine/hooks.h"
#include "engine/index_build.h"
#include "engine/index_common.h"
#include "engine/index_driver.h"
#include "engine/index_nav.h"
#include "engine/index_semaphore.h"
#include "engine/memo_file.h"
#include "engine/output_device.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "platform/core/locale_settings.h"

namespace engine {

TEngineServiceHooks EngineServiceHooks;
TIndexDriverHooks IndexDriverHooks;
TParserHooks ParserHooks;
TMemoHooks MemoHooks;

void ClearHooks() {
  EngineServiceHooks = {};
  IndexDriverHooks = {};
  ParserHooks = {};
  MemoHooks = {};
}

void StartEngine() {
  // Utility module first: it clears the hook records and sets the error module's slot.
  ClearHooks();
  ResetErrorState();
  EngineServiceHooks.ReportError = &ReportError;
  InitDates();
  InitUtils();
  InitDbfFile();
  InitWorkAreas();
  InitLocking();
  InitNavigation();
  InitOutput();
  InitMemo();
  InitParser();
  InitIndexCommon();
  InitIndexBuild();
  InitIndexSemaphore();
  IndexInit();
}

void ResetEngine() {
  // Close what is still open while every module's hooks still stand, so memo and index
  // files are closed with their tables.
  AbortOnError = false;
  UserErrorProc = nullptr;
  for (uint8_t area = 1; area <= kMaxArea; ++area) {
    if (!WorkAreas[area]) continue;
    CurrentArea = area;
    CloseArea();
  }
  CurrentArea = 1;
  platform::ResetLocaleSettings();
  StartEngine();
}

}  // namespace engine
