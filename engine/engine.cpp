#include "engine/engine.h"

#include "engine/dates.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/hooks.h"
#include "engine/utils.h"

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
}

void ResetEngine() { StartEngine(); }

}  // namespace engine
