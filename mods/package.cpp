#include "mods/package.h"

#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unordered_set>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kOrvacSuffix = ".mod.orvac";
constexpr std::string_view kZipSuffix = ".zip";
constexpr std::string_view kMacFolder = "__MACOSX/";

struct ZipCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipCloser>;

// An entry to unpack: its index, declared size and cleaned name.
struct Entry {
  zip_uint64_t index;
  zip_uint64_t size;
  std::string name;
};

struct ZipFileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

// Reads an entry of `size` bytes whole. The size the archive declares is trusted for
// nothing but the limit: memory grows with the bytes that really arrive, and an entry
// that yields fewer or more bytes than declared is refused.
bool readEntry(zip_t* archive, zip_uint64_t index, zip_uint64_t size, std::string& out) {
  std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen_index(archive, index, 0));
  if (!file) return false;
  out.clear();
  char chunk[65536];
  for (;;) {
    const zip_int64_t got = zip_fread(file.get(), chunk, sizeof(chunk));
    if (got < 0) return false;
    if (got == 0) break;
    if (static_cast<zip_uint64_t>(got) > size - out.size()) return false;
    out.append(chunk, static_cast<size_t>(got));
  }
  return out.size() == size;
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool holdsMainLua(const fs::path& folder) {
  std::error_code ec;
  return fs::is_regular_file(folder / "main.lua", ec);
}

}  // namespace

bool isSafeRelativePath(std::string_view path) {
  if (path.empty() || path.front() == '/') return false;
  if (path.find(':') != std::string_view::npos) return false;
  if (path.find('\0') != std::string_view::npos) return false;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

std::vector<std::string> listModPackages(const std::string& modsFolder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (fs::directory_iterator it(modsFolder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name.front() == '.') continue;
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    const bool orvac = name.size() > kOrvacSuffix.size() && name.ends_with(kOrvacSuffix);
    const bool zip = name.size() >= 5 && name.ends_with(kZipSuffix);
    if (orvac || zip) found.push_back(it->path().string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::string modNameOfPackage(const std::string& packagePath) {
  const std::string file = fs::path(packagePath).filename().string();
  if (file.size() > kOrvacSuffix.size() && file.ends_with(kOrvacSuffix)) {
    return file.substr(0, file.size() - kOrvacSuffix.size());
  }
  return fs::path(file).stem().string();
}

bool extractPackage(const std::string& archivePath, const std::string& destination,
                    std::string& error) {
  int openError = 0;
  ZipHandle archive(zip_open(archivePath.c_str(), ZIP_RDONLY, &openError));
  if (!archive) {
    error = "cannot open zip";
    return false;
  }
  const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
  if (count < 1 || count > static_cast<zip_int64_t>(kMaxPackageEntries)) {
    error = "zip has too many files";
    return false;
  }
  std::vector<Entry> entries;
  entries.reserve(static_cast<size_t>(count));
  std::unordered_set<std::string> folders;
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive.get(), i, 0, &st) != 0) continue;
    if (!(st.valid & ZIP_STAT_NAME) || !(st.valid & ZIP_STAT_SIZE)) continue;
    std::string name = st.name;
    if (!name.empty() && name.back() == '/') continue;  // folder entry
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.size() > 8 && name.starts_with(kMacFolder)) continue;
    if (!isSafeRelativePath(name)) continue;
    // The folders the entry needs, and main.lua where the loader would look for it.
    size_t depth = 0;
    for (size_t slash = name.find('/'); slash != std::string::npos;
         slash = name.find('/', slash + 1)) {
      if (++depth > kMaxPackageDepth) {
        error = "zip folders are too deep";
        return false;
      }
      folders.insert(name.substr(0, slash));
      if (folders.size() > kMaxPackageFolders) {
        error = "zip has too many folders";
        return false;
      }
    }
    const size_t leaf = name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1;
    if (depth <= 1 && name.compare(leaf, std::string::npos, "main.lua") == 0 &&
        st.size > kMaxMainLuaBytes) {
      error = "main.lua is too large";
      return false;
    }
    entries.push_back({static_cast<zip_uint64_t>(i), st.size, std::move(name)});
  }
  uint64_t total = 0;
  std::string bytes;
  for (const Entry& entry : entries) {
    const zip_uint64_t size = entry.size;
    const std::string& name = entry.name;
    if (size > kMaxPackageBytes - total) {
      error = "zip is too large";
      return false;
    }
    total += size;
    if (!readEntry(archive.get(), entry.index, size, bytes)) continue;
    writeFile(fs::path(destination) / name, bytes);
  }
  return true;
}

std::optional<std::string> findMainLuaFolder(const std::string& folder) {
  if (holdsMainLua(folder)) return folder;
  std::vector<fs::path> subfolders;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_directory(typeError)) subfolders.push_back(it->path());
  }
  std::sort(subfolders.begin(), subfolders.end(),
            [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
  for (const fs::path& sub : subfolders) {
    if (holdsMainLua(sub)) return sub.string();
  }
  return std::nullopt;
}

bool writeZip(const std::string& path, const std::vector<ZipEntry>& entries, std::string& error) {
  int openError = 0;
  ZipHandle archive(zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &openError));
  if (!archive) {
    error = "cannot create zip";
    return false;
  }
  for (const ZipEntry& entry : entries) {
    if (!entry.name.empty() && entry.name.back() == '/') {
      if (zip_dir_add(archive.get(), entry.name.c_str(), ZIP_FL_ENC_UTF_8) < 0) {
        error = zip_strerror(archive.get());
        return false;
      }
      continue;
    }
    zip_source_t* source =
        zip_source_buffer(archive.get(), entry.data.data(), entry.data.size(), 0);
    if (!source) {
      error = zip_strerror(archive.get());
      return false;
    }
    if (zip_file_add(archive.get(), entry.name.c_str(), source,
                     ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
      zip_source_free(source);
      error = zip_strerror(archive.get());
      return false;
    }
  }
  if (zip_close(archive.get()) != 0) {
    error = zip_strerror(archive.get());
    return false;
  }
  archive.release();  // closed: zip_close freed it
  return true;
}
