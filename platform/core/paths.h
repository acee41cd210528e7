// File names and folders: the case-insensitive name resolver, the program's own path, the
// temporary folder, unique temporary files and free disk space.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Returns `path` with every component that does not exist under its exact name replaced by
// an existing entry of the same folder whose name matches it regardless of ASCII letter case
// (the first such entry in name order). Components are resolved from the left; from the first
// component that has no match on, the rest is kept as given. An exact match always wins.
std::string ResolveCase(const std::string& path);

// True when `path` names an existing entry (any type).
bool PathExists(const std::string& path);

// The running program's full path, from /proc/self/exe unless a test has set one.
std::string ProgramPath();
// Sets the path ProgramPath returns; an empty text restores the real one.
void SetProgramPath(const std::string& path);
// The folder of ProgramPath, ending with "/"; empty when the path names no folder.
std::string ProgramDir();

// The current working folder, ending with "/".
std::string CurrentDir();

// The folder for temporary files ($TMPDIR, else /tmp), ending with "/".
std::string TempDir();

// Creates a new empty file "<dir><prefix><4 hex digits>.TMP" that did not exist before and
// stores its name. Returns 0 or a DOS code.
int CreateUniqueFile(const std::string& dir, const std::string& prefix, std::string* name);

// Free bytes available to the user on the file system that holds `path`, or -1 on failure.
// While a test figure is set, every existing path reports that figure instead.
int64_t DiskFreeBytes(const std::string& path);
// Sets the figure DiskFreeBytes reports for existing paths (tests of low-disk branches).
void SetTestDiskFreeBytes(int64_t bytes);
// Restores the real free-space reading.
void ClearTestDiskFreeBytes();

}  // namespace platform
