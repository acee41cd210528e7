// Small services every engine module uses: the free-heap check, OEM/ANSI conversion, string
// and number-text routines, file names, file search and erasure, free disk space, unique
// temporary names, the tick clock and the idle procedure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace engine {

// ---- Memory ----------------------------------------------------------------------------

extern bool UnlimitedHeap;  // FreeHeap reports 0x7FFFFFFF when set

// The free heap in bytes that the engine tests before each allocation. Reports a large
// value (never a figure that makes a healthy machine fail) unless a test lowers it.
int32_t FreeHeap();
// Lowers the figure FreeHeap reports (for tests); a negative value restores the default.
void SetFreeHeapForTest(int64_t bytes);
// True when FreeHeap() >= size.
bool HeapHas(int64_t size);

// Allocates `size` bytes (zeroed) into p.
void GetMem(void*& p, uint32_t size);
// Releases p and sets it to nullptr; nullptr is error 9.
void FreeMem(void*& p, uint32_t size);

// ---- Character sets --------------------------------------------------------------------

// OEM and ANSI are the process's code pages (platform::OemCodePage, platform::AnsiCodePage):
// 437 and 1252, or 866 and 1251 for a Russian user.
std::string AnsiToOemStr(const std::string& s);
std::string OemToAnsiStr(const std::string& s);
char AnsiToOemChar(char c);
char OemToAnsiChar(char c);

// ---- Strings ---------------------------------------------------------------------------

std::string RTrim(const std::string& s);    // removes trailing characters <= ' '
std::string LTrim(const std::string& s);    // removes leading characters <= ' '
std::string AllTrim(const std::string& s);  // both ends
void UpperStr(std::string& s);              // ASCII letters only; bytes from 0x80 unchanged
std::string UpperCopy(const std::string& s);
int CountSubStr(const std::string& sub, const std::string& s);
int NthPos(int n, const std::string& sub, const std::string& s);
// Removes every occurrence of `word` (upper-cased) from s (upper-cased) that ends at the end
// of s or before a character that is not a letter, digit or underscore; trims s. True when
// one was removed.
bool ExtractWord(const std::string& word, std::string& s);
std::string IntToStrW(int32_t n, uint8_t width);

// ---- Number texts ----------------------------------------------------------------------

extern char DecimalSep;
extern char GroupSep;
// Sets DecimalSep and GroupSep from a country index.
void SetSeparatorsForCountry(int country_index);

int16_t TextToInt(const std::string& s);
void CleanNumStr(std::string& s);
double TextToReal(const std::string& s);  // the value as a 6-byte real holds it
int32_t TextToLong(const std::string& s);

// ---- File names and files --------------------------------------------------------------

// Splits at the last "/" or "\" (and an "X:" prefix): dir keeps its separator, ext its dot.
void FileSplit(const std::string& name, std::string& dir, std::string& base, std::string& ext);
// Name unchanged when it has an extension, else dir + base + "." + ext cut to 3 characters.
std::string AddDefaultExt(const std::string& name, const std::string& ext);
// Name with its extension replaced by ext ("DBT" and ".DBT" alike; empty removes it).
std::string ChangeExt(const std::string& name, const std::string& ext);
std::string StripExt(const std::string& name);
// The name as an absolute path against the current folder: "\" read as "/", an "X:" prefix
// dropped, "." and ".." components and repeated separators removed.
std::string FullPath(const std::string& name);

// File attributes as the search reports them.
inline constexpr uint8_t faReadOnly = 0x01;
inline constexpr uint8_t faHidden = 0x02;
inline constexpr uint8_t faSysFile = 0x04;
inline constexpr uint8_t faDirectory = 0x10;
inline constexpr uint8_t faArchive = 0x20;
inline constexpr uint8_t faAnyFile = 0x3F;

struct TSearchRec {
  std::string Name;  // the entry's name, no folder
  int64_t Size = 0;
  uint8_t Attr = 0;
  int64_t Time = 0;  // modification time, seconds since the epoch
  // search state
  std::string Dir;
  std::string Mask;
  uint8_t WantAttr = 0;
  std::vector<std::string> Pending;
};

extern int32_t LastFindResult;
extern std::vector<TSearchRec> EraseFailures;

// Windows-style matching of a name against a mask ("*", "?", case-insensitive; "*.*" is
// every name, "*." a name without extension).
bool MaskMatches(const std::string& mask, const std::string& name);
// File search in the mask's folder (resolved regardless of case), names in sorted order,
// "." and ".." never reported. Entries are reported as the DOS search does: plain and
// read-only files always, hidden, system and directory entries only when `attributes` asks
// for them. Attributes: directories faDirectory, regular files faArchive, other entries
// faSysFile; faReadOnly when the owner may not write, faHidden for names starting with ".".
// Returns 0 (found), 18 (no more files), 3 (folder missing) or another DOS code; the first
// two also store the result in LastFindResult.
int32_t FindFirstFile(const std::string& mask, uint8_t attributes, TSearchRec& rec);
int32_t FindNextFile(TSearchRec& rec);
void EndFind(TSearchRec& rec);
// True when a file (not a directory) matches `name`.
bool FileFound(const std::string& name);
// Erases one file or every plain file matching a mask. Read-only files are refused with
// access denied, as on DOS. Failures: see EraseFailures and the error state.
void EraseFiles(const std::string& mask);

// Free space in KiB of drive `drive` (0 = the file system of the current folder; any other
// drive number gives -1), clamped to the type's range.
int32_t DiskFreeKB(uint8_t drive);
// Free space in KiB of the file system that holds `path`; -1 on failure.
int32_t DiskFreeKBOf(const std::string& path);

// A new unique file (created empty) in the temporary folder; empty on failure (error set).
std::string UniqueFilename();

// ---- Clock and idle --------------------------------------------------------------------

void GetDate(uint16_t& year, uint16_t& month, uint16_t& day, uint16_t& day_of_week);
int32_t TimerTicks();  // milliseconds x 0.001 x 18.20648193, rounded
void Idle();

// ---- Start values ----------------------------------------------------------------------

// Initialises this module's start values (separators from the country index, code pages,
// heap figure) and those the error module keeps.
void InitUtils();

}  // namespace engine
