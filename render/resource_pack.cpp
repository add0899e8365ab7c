#include "render/resource_pack.h"

#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "world/block_registry.h"

namespace fs = std::filesystem;

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() > suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

bool FolderSource::exists(const std::string& path) const {
  std::error_code error;
  return fs::is_regular_file(fs::path(folder_) / path, error);
}

std::vector<uint8_t> FolderSource::read(const std::string& path) const {
  std::error_code error;
  const fs::path full = fs::path(folder_) / path;
  if (!fs::is_regular_file(full, error)) return {};
  const auto size = fs::file_size(full, error);
  if (error || size > kMaxPackEntryBytes) return {};
  std::ifstream in(full, std::ios::binary);
  std::vector<uint8_t> bytes(size);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
    return {};
  }
  return bytes;
}

ZipSource::ZipSource(const std::string& archivePath) {
  int error = 0;
  archive_ = zip_open(archivePath.c_str(), ZIP_RDONLY, &error);
}

ZipSource::~ZipSource() {
  if (archive_ != nullptr) zip_discard(archive_);
}

bool ZipSource::exists(const std::string& path) const {
  return archive_ != nullptr && zip_name_locate(archive_, path.c_str(), ZIP_FL_NOCASE) >= 0;
}

std::vector<uint8_t> ZipSource::read(const std::string& path) const {
  if (archive_ == nullptr) return {};
  const zip_int64_t index = zip_name_locate(archive_, path.c_str(), ZIP_FL_NOCASE);
  if (index < 0) return {};
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
      (stat.valid & ZIP_STAT_SIZE) == 0 || stat.size > kMaxPackEntryBytes) {
    return {};
  }
  zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
  if (file == nullptr) return {};
  std::vector<uint8_t> bytes(stat.size);
  const zip_int64_t got = bytes.empty() ? 0 : zip_fread(file, bytes.data(), bytes.size());
  zip_fclose(file);
  if (got != static_cast<zip_int64_t>(bytes.size())) return {};
  return bytes;
}

bool isPackFileName(const std::string& fileName) {
  const std::string lower = toLowerAscii(fileName);
  return endsWith(lower, ".rp.orvac") || endsWith(lower, ".zip");
}

std::vector<std::string> listPacks(const std::string& packFolder) {
  std::vector<std::string> packs;
  std::error_code error;
  for (fs::directory_iterator it(packFolder, error), end; !error && it != end;
       it.increment(error)) {
    const fs::path& path = it->path();
    std::error_code typeError;
    if (it->is_directory(typeError) ||
        (it->is_regular_file(typeError) && isPackFileName(path.filename().string()))) {
      packs.push_back(path.string());
    }
  }
  std::sort(packs.begin(), packs.end());
  return packs;
}

std::unique_ptr<PackSource> openPack(const std::string& path) {
  std::error_code error;
  if (fs::is_directory(path, error)) return std::make_unique<FolderSource>(path);
  return std::make_unique<ZipSource>(path);
}

std::string packDisplayName(const std::string& path) {
  std::string name = fs::path(path).filename().string();
  if (name.empty()) name = fs::path(path).parent_path().filename().string();
  std::error_code error;
  if (fs::is_directory(path, error)) return name;
  const std::string lower = toLowerAscii(name);
  for (const std::string suffix : {".rp.orvac", ".zip"}) {
    if (endsWith(lower, suffix)) return name.substr(0, name.size() - suffix.size());
  }
  return name;
}
