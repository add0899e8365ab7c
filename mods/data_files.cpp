// The files of a mod's data folder.
//
// Every path is walked one folder at a time with openat and O_NOFOLLOW, so no link
// below the data folder is followed. What the folder holds is counted once, at the
// first write of the session, and kept up to date by every write after it; a write
// that would take the folder beyond its bounds is refused before anything changes.

#include "mods/data_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "mods/package.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// Counting an existing folder stops after this many entries: it is over its bounds.
constexpr size_t kCountLimit = 16 * kModDataMaxEntries;
constexpr std::string_view kTemporarySuffix = ".tmp";

// An open file descriptor, closed when it goes.
class FileHandle {
 public:
  explicit FileHandle(int fd = -1) : fd_(fd) {}
  ~FileHandle() {
    if (fd_ >= 0) close(fd_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  FileHandle& operator=(FileHandle&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// A data file name split into its folders and its own name; empty parts dropped.
struct DataName {
  std::vector<std::string> folders;
  std::string leaf;
};

// The parts of a safe name: "\" read as "/", not empty, not ending in "/".
bool splitDataName(std::string_view name, DataName& out) {
  std::string normal(name);
  std::replace(normal.begin(), normal.end(), '\\', '/');
  if (normal.empty() || normal.back() == '/' || !isSafeRelativePath(normal)) return false;
  size_t start = 0;
  for (size_t slash = normal.find('/'); slash != std::string::npos;
       start = slash + 1, slash = normal.find('/', start)) {
    if (slash > start) out.folders.push_back(normal.substr(start, slash - start));
  }
  out.leaf = normal.substr(start);
  return true;
}

// Why a name may not be written, or nullptr.
const char* nameBeyondBounds(std::string_view name, const DataName& parts) {
  if (name.size() > kModDataMaxPathLength) return "the path is longer than 1024 bytes";
  if (parts.folders.size() > kModDataMaxDepth) return "the path is more than 16 folders deep";
  for (const std::string& folder : parts.folders) {
    if (folder.size() > kModDataMaxNameLength) return "a name is longer than 255 bytes";
  }
  if (parts.leaf.size() + kTemporarySuffix.size() > kModDataMaxNameLength) {
    return "a name is longer than 255 bytes";
  }
  return nullptr;
}

// Opens the folder that holds the file, walking down from the data folder. With
// `create`, missing folders are made on the way and counted in `created`. Without it,
// `existing` gets the number of folders that are there before the first missing one.
bool openFolder(const LoadedMod& mod, const DataName& parts, bool create, FileHandle& folder,
                size_t& existing, size_t& created) {
  existing = created = 0;
  if (create) {
    std::error_code ec;
    fs::create_directories(mod.dataFolder, ec);
  }
  folder = FileHandle(open(mod.dataFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0) return false;
  for (const std::string& part : parts.folders) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int next = openat(folder.get(), part.c_str(), kFlags);
    if (next < 0 && errno == ENOENT && create && mkdirat(folder.get(), part.c_str(), 0755) == 0) {
      ++created;
      next = openat(folder.get(), part.c_str(), kFlags);
    }
    if (next < 0) return false;
    ++existing;
    folder = FileHandle(next);
  }
  return true;
}

// Counts the files, folders and bytes the data folder holds, once a session.
void countUsage(LoadedMod& mod) {
  ModDataUsage& usage = mod.data;
  if (usage.counted) return;
  usage.counted = true;
  usage.bytes = 0;
  usage.entries = 0;
  std::error_code ec;
  fs::recursive_directory_iterator it(mod.dataFolder, fs::directory_options::skip_permission_denied,
                                      ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (++usage.entries >= kCountLimit) break;
    std::error_code sizeError;
    if (it->is_regular_file(sizeError)) {
      const uintmax_t size = it->file_size(sizeError);
      if (!sizeError) usage.bytes += size;
    }
  }
}

// One line a second per mod says why a write was refused.
bool refuse(LoadedMod& mod, const char* why) {
  const Clock::time_point now = Clock::now();
  ModDataUsage& usage = mod.data;
  if (!usage.refused || now - usage.lastRefusal >= std::chrono::seconds(1)) {
    usage.refused = true;
    usage.lastRefusal = now;
    std::fprintf(stderr, "[mod:%s] data_write refused: %s\n", mod.name.c_str(), why);
  }
  return false;
}

bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

DataRead readDataFile(LoadedMod& mod, std::string_view name) {
  DataName parts;
  if (!splitDataName(name, parts)) return DataRead::kMissing;
  FileHandle folder;
  size_t existing = 0, created = 0;
  if (!openFolder(mod, parts, false, folder, existing, created)) return DataRead::kMissing;
  const FileHandle file(
      openat(folder.get(), parts.leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (file.get() < 0 || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return DataRead::kMissing;
  }
  const auto size = static_cast<uint64_t>(info.st_size);
  const size_t room = mod.memoryLimit - std::min(mod.bytesInUse, mod.memoryLimit);
  if (size > room) return DataRead::kTooLarge;
  mod.scratch.resize(static_cast<size_t>(size));
  size_t got = 0;
  while (got < size) {
    const ssize_t n = read(file.get(), mod.scratch.data() + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  if (got != size) {
    std::string().swap(mod.scratch);
    return DataRead::kMissing;
  }
  return DataRead::kOk;
}

// Whatever sits at the temporary name is removed first (a link there is removed, not
// followed); the rename replaces a link at the final name itself.
bool writeDataFile(LoadedMod& mod, std::string_view name, std::string_view data) {
  DataName parts;
  if (!splitDataName(name, parts)) return false;
  if (const char* why = nameBeyondBounds(name, parts)) return refuse(mod, why);
  countUsage(mod);
  ModDataUsage& usage = mod.data;

  // What the write adds: the folders still missing, the file when new, its bytes.
  FileHandle folder;
  size_t existing = 0, created = 0;
  uint64_t oldSize = 0;
  bool fileExists = false;
  if (openFolder(mod, parts, false, folder, existing, created)) {
    struct stat info {};
    if (fstatat(folder.get(), parts.leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
      fileExists = true;
      if (S_ISREG(info.st_mode)) oldSize = static_cast<uint64_t>(info.st_size);
    }
  }
  const size_t newEntries = (parts.folders.size() - existing) + (fileExists ? 0 : 1);
  if (usage.entries + newEntries > kModDataMaxEntries) {
    return refuse(mod, "the data folder holds 4096 files and folders");
  }
  const uint64_t kept = usage.bytes - std::min(usage.bytes, oldSize);
  if (data.size() > kModDataMaxBytes || kept + data.size() > kModDataMaxBytes) {
    return refuse(mod, "the data folder would hold more than 64 MiB");
  }

  if (!openFolder(mod, parts, true, folder, existing, created)) return false;
  usage.entries += created;
  const int at = folder.get();
  const std::string temporary = parts.leaf + std::string(kTemporarySuffix);
  unlinkat(at, temporary.c_str(), 0);
  bool written = false;
  {
    const FileHandle out(
        openat(at, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (out.get() < 0) return false;
    written = writeAll(out.get(), data);
  }
  if (!written || renameat(at, temporary.c_str(), at, parts.leaf.c_str()) != 0) {
    unlinkat(at, temporary.c_str(), 0);
    return false;
  }
  usage.bytes = kept + data.size();
  if (!fileExists) ++usage.entries;
  return true;
}
