#pragma once
// Rules for the installer's ANSI path strings. A path separator is a
// backslash; a colon ends a drive part. Folder paths end in a backslash so
// that file paths are formed by plain concatenation.
#include <cstdint>
#include <optional>
#include <string>

namespace ssi {

// The text from the last dot that follows the last backslash or colon, dot
// included; empty when there is no such dot.
std::string PathExtension(const std::string& path);

// The name with its extension (as above) replaced by `ext`; appended when the
// name has none.
std::string ReplaceExtension(const std::string& name, const std::string& ext);

// The text after the last backslash or colon.
std::string FileNamePart(const std::string& path);

// The text up to and including the last backslash or colon (empty if none).
std::string FolderPart(const std::string& path);

// ASCII lower-casing; other bytes of the ANSI code page are left alone.
std::string AsciiLower(std::string text);

// A payload entry name must be a bare file name: not empty, not ending in a
// dot or blank (which Windows would drop), not a device name (CON, NUL, COM0 to COM9,
// LPT¹, CONIN$, ..., with any extension), and without
// "\", "/", ":" or control characters.
bool IsPlainFileName(const std::string& name);

// A screen saver name becomes a folder name under the Windows directory: it
// may be empty (a default folder is used) but may not hold \ / : * ? " < > |,
// control characters, or consist of dots alone.
bool IsValidSaverName(const std::string& name);

// A relative path that stays inside its base folder: not empty, not rooted
// (no leading "\" or "/"), no drive or stream colon, and no component that
// is empty, ends in a dot or blank (".", "..", "a ") or names a device.
bool IsContainedRelativePath(const std::string& path);

// The destination of a payload entry by its EntryKind; nullopt for a kind
// outside 1..6. Kind 3 keeps the name "flashax.exe" (exact bytes) and gives
// every other name the extension ".dll".
std::optional<std::string> EntryDestination(int32_t kind, const std::string& name,
                                            const std::string& windowsDir,
                                            const std::string& saverDir);

// The preview's name when it is shown as a bitmap: its extension replaced by
// ".bmp", cut to 255 characters, with no dot or blank left at the end.
std::string PreviewBitmapName(const std::string& name);

// Appends a backslash unless the text already ends in one.
std::string WithTrailingBackslash(std::string folder);

}  // namespace ssi
