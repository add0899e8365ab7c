#pragma once
// Mod packages: finding them in the mods folder, unpacking them safely, and writing
// zip archives (the mod self test and the tests build real packages).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr size_t kMaxPackageEntries = 4096;
inline constexpr uint64_t kMaxPackageBytes = 268435456;  // 256 MiB unpacked, all entries
inline constexpr size_t kMaxPackageDepth = 16;           // folders above an entry
inline constexpr size_t kMaxPackageFolders = 1024;       // folders an archive may create
inline constexpr uint64_t kMaxMainLuaBytes = 4194304;    // 4 MiB

// True for a relative path that stays inside its folder: not empty, no leading "/", no
// ":", no NUL byte and no "." or ".." component. Expects "/" separators.
bool isSafeRelativePath(std::string_view path);

// The package files of a mods folder, sorted by path: regular files not starting with
// "." named "<name>.mod.orvac" or "<name>.zip". Empty when the folder is missing.
std::vector<std::string> listModPackages(const std::string& modsFolder);

// The mod name of a package path: the file name without ".mod.orvac", or without its
// last extension for ".zip".
std::string modNameOfPackage(const std::string& packagePath);

// Unpacks the zip archive into `destination`, skipping folder entries, "__MACOSX/"
// entries, unsafe names and entries that fail to decompress; "\" in names becomes "/".
// Fails with "cannot open zip", "zip has too many files" (none, or above 4096), "zip
// folders are too deep" (an entry below more than 16 folders), "zip has too many
// folders" (more than 1024), "main.lua is too large" (a main.lua at the root or one
// folder deep above 4 MiB), all found before anything is written, or "zip is too large"
// (above 256 MiB in all; files written before stay).
bool extractPackage(const std::string& archivePath, const std::string& destination,
                    std::string& error);

// The folder holding "main.lua": `folder` itself, else its first subfolder by name that
// holds one. nullopt when none does.
std::optional<std::string> findMainLuaFolder(const std::string& folder);

struct ZipEntry {
  std::string name;  // written as given, "/" ending marks a folder entry
  std::string data;
};

// Writes a deflated zip archive holding `entries`, replacing any file at `path`.
bool writeZip(const std::string& path, const std::vector<ZipEntry>& entries, std::string& error);
