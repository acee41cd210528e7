// Private profile (INI) files: the reader and writer behind every INI read and write.
//
// Format: a line "[name]" starts a section; a line "key=value" inside it is a key. Lines that
// are blank, start with ";" or fit neither shape are kept but carry no data. Section and key
// names are trimmed and compare without regard to letter case, for the letters of the ANSI code
// page too (1252, or 1251 for a Russian user: "\xC9" and "\xE9" are one letter in 1252); of
// duplicate sections or keys the first wins. Values are trimmed, and one pair of matching
// surrounding quotes (" or ') is stripped. CR LF and LF line ends are read; new lines end with
// CR LF. Names and values given and returned are ANSI texts. A file is ANSI bytes, unless it
// starts with a UTF-8 or UTF-16 (little- or big-endian) byte-order mark: such a file is read in
// that encoding, its texts converted to the ANSI code page (a character the page lacks becomes
// "?"), and a write keeps its encoding and mark and leaves the lines it does not change as
// they were.
//
// Every call opens, parses and closes the file: nothing is cached, so another process's write
// is seen at once. A write reads the file, changes it and replaces it whole: the new text goes
// to a temporary file of a fixed name beside the real target (through symbolic links), gets the
// old file's permission bits, is flushed and renamed over the target, so a crash at any point
// leaves the old file or the new one, never a cut one. Each read-modify-write holds an
// exclusive lock on the target's folder itself (no lock file goes beside the profile), so two
// processes writing one file at once lose nothing; a stale temporary file left by a killed
// writer is removed only while holding that lock. A write that changes no value writes
// nothing, and one that adds nothing to a missing file creates neither the file nor a folder.
//
// A file name without a folder lives in the per-user profile folder (ProfileDir); any other
// name is used as given ("\" counts as a folder separator). Each component of the path is
// matched regardless of letter case when the exact name is missing (ResolveCase).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Values read are cut to this many bytes (the callers' 1024-byte buffer).
inline constexpr size_t kMaxProfileValue = 1023;

// DOS code of a name or value that cannot be stored in a profile file.
inline constexpr int kDosInvalidParameter = 87;

// $XDG_CONFIG_HOME/practice-exam/ when XDG_CONFIG_HOME is an absolute path, otherwise
// $HOME/.config/practice-exam/. Ends with "/". The folder is not created here.
std::string ProfileDir();

// The path `file` denotes: ProfileDir() + file for a bare name (no "/", "\" or "X:" drive),
// otherwise `file` with "\" turned into "/".
std::string ProfilePath(const std::string& file);

// Reads one value. With `section` and `key` given: the key's value (cut to kMaxProfileValue),
// or `def` unchanged when the file, section or key is missing or the file cannot be read.
// With `key` null: the names of the section's keys, each followed by a NUL byte ("" when the
// section is missing). With `section` null: the names of all sections, each followed by NUL.
std::string ReadProfileString(const std::string& file, const std::optional<std::string>& section,
                              const std::optional<std::string>& key, const std::string& def);

// Changes the file. With `key` and `value` given: sets the key (replaced in place; a new key
// goes at the end of its section, a new section at the end of the file; the first write
// creates the file, and the profile folder when a bare name needs it). With `value` null:
// removes the key. With `key` null: removes the section with every key in it. With `section`
// null: nothing to do (nothing is cached), succeeds. Removing what is not there succeeds and
// leaves the file (or its absence) alone. A value written with blanks at either end, or wrapped
// in matching quotes, is written inside quotes, so it reads back as written.
// Returns true on success. On failure returns false, leaves the file as it was and stores a DOS
// code in *dos_error when given: names or values that cannot be stored (a CR, LF or NUL byte,
// "]" in a section name, "=" in a key name, a key name starting with "[" or ";") give
// kDosInvalidParameter.
bool WriteProfileString(const std::string& file, const std::optional<std::string>& section,
                        const std::optional<std::string>& key,
                        const std::optional<std::string>& value, int* dos_error = nullptr);

struct ProfileEntry {
  std::string key;
  std::string value;
};

// The keys of a section in file order with their values (cut to kMaxProfileValue), as one
// consistent snapshot. A key repeated (also in a repeated section) appears once, with the
// value that ReadProfileString returns. Empty when the file or section is missing.
std::vector<ProfileEntry> ReadProfileSection(const std::string& file, const std::string& section);

// Replaces every key of the section with `entries`, in one atomic write: the section keeps its
// place (a new one goes at the end of the file), later duplicates of it are removed. Returns
// true on success; on failure as WriteProfileString.
bool WriteProfileSection(const std::string& file, const std::string& section,
                         const std::vector<ProfileEntry>& entries, int* dos_error = nullptr);

}  // namespace platform
