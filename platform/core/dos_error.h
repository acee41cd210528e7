// Translation of operating-system error numbers into the DOS error codes that the engine
// stores in its error state and shows in its messages.
#pragma once

namespace platform {

// DOS codes used across the engine.
inline constexpr int kDosFileNotFound = 2;
inline constexpr int kDosPathNotFound = 3;
inline constexpr int kDosTooManyOpenFiles = 4;
inline constexpr int kDosAccessDenied = 5;
inline constexpr int kDosInvalidHandle = 6;
inline constexpr int kDosShareViolation = 32;
inline constexpr int kDosLockViolation = 33;
inline constexpr int kDosReadError = 100;
inline constexpr int kDosWriteError = 101;

// Returns the DOS code for an errno value. Never returns 0: an errno that has no entry in the
// table maps to 5 (access denied) for errno 0 and to the general failure code 31 otherwise.
int DosCodeFromErrno(int err);

// DosCodeFromErrno(errno) for the errno of the failed call just made.
int LastDosCode();

}  // namespace platform
