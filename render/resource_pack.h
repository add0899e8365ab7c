#pragma once
// Resource packs: folders or zip archives in "resourcepacks" that replace block
// textures, visual settings and shaders. Paths inside a pack use '/'.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Read access to one pack.
class PackSource {
 public:
  virtual ~PackSource() = default;
  // True when the pack holds a file at `path`.
  virtual bool exists(const std::string& path) const = 0;
  // The whole file, or empty when it is absent or unreadable.
  virtual std::vector<uint8_t> read(const std::string& path) const = 0;
};

// A directory pack: files are regular files below the folder.
class FolderSource : public PackSource {
 public:
  explicit FolderSource(std::string folder) : folder_(std::move(folder)) {}
  bool exists(const std::string& path) const override;
  std::vector<uint8_t> read(const std::string& path) const override;

 private:
  std::string folder_;
};

struct zip;

// A zip pack: entry names are compared without regard to letter case. An archive that
// cannot be opened behaves as an empty pack.
class ZipSource : public PackSource {
 public:
  explicit ZipSource(const std::string& archivePath);
  ~ZipSource() override;
  ZipSource(const ZipSource&) = delete;
  ZipSource& operator=(const ZipSource&) = delete;
  bool exists(const std::string& path) const override;
  std::vector<uint8_t> read(const std::string& path) const override;
  bool opened() const { return archive_ != nullptr; }

 private:
  struct zip* archive_ = nullptr;
};

// Entries larger than this are treated as unreadable (a hostile archive cannot make
// start-up allocate gigabytes).
inline constexpr uint64_t kMaxPackEntryBytes = 64ull << 20;

// The packs in `packFolder`: directories and files ending (case-insensitively) in
// ".rp.orvac" or ".zip" with something before the suffix, sorted by full path. Empty
// when the folder is missing.
std::vector<std::string> listPacks(const std::string& packFolder);

// The source for a pack path from listPacks: a folder source for directories, a zip
// source otherwise.
std::unique_ptr<PackSource> openPack(const std::string& path);

// The file name without ".rp.orvac" or ".zip" (compared lower-cased); directories keep
// their name.
std::string packDisplayName(const std::string& path);

// True for suffix-matching pack files ("pack.zip", "A.RP.ORVAC"; not ".zip").
bool isPackFileName(const std::string& fileName);
