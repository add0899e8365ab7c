// Mod packages: which files count, safe unpacking of hostile archives, finding main.lua,
// name clashes and the mod-list fingerprint.

#include <zip.h>

#include <cstring>

#include "tests/mods/mod_test_support.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> fileNamesBelow(const fs::path& root) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), root).string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A zip source that yields `size` zero bytes without holding them in memory.
struct ZeroSource {
  zip_uint64_t size;
  zip_uint64_t offset = 0;
};

zip_int64_t zeroSourceCallback(void* userdata, void* data, zip_uint64_t length,
                               zip_source_cmd_t command) {
  auto& source = *static_cast<ZeroSource*>(userdata);
  switch (command) {
    case ZIP_SOURCE_OPEN:
      source.offset = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      const zip_uint64_t n = std::min(length, source.size - source.offset);
      std::memset(data, 0, n);
      source.offset += n;
      return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_STAT: {
      auto* st = static_cast<zip_stat_t*>(data);
      zip_stat_init(st);
      st->size = source.size;
      st->valid |= ZIP_STAT_SIZE;
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      return 0;
  }
}

}  // namespace

TEST(ModPackages, OnlyVisiblePackageFilesCountInPathOrder) {
  TempFolder folder;
  const fs::path root = folder.path();
  fs::create_directories(root / "folder.mod.orvac");
  for (const char* name :
       {"b.zip", "a.mod.orvac", ".hidden.zip", ".mod.orvac", "notes.txt", "c.orvac", ".zip"}) {
    writeText(root / name, "x");
  }
  const std::vector<std::string> found = listModPackages(root.string());
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(fs::path(found[0]).filename(), "a.mod.orvac");
  EXPECT_EQ(fs::path(found[1]).filename(), "b.zip");
  EXPECT_EQ(modNameOfPackage("/m/a.mod.orvac"), "a");
  EXPECT_EQ(modNameOfPackage("/m/tools.v2.zip"), "tools.v2");
  EXPECT_TRUE(listModPackages((root / "missing").string()).empty());
}

TEST(ModPackages, HostileEntryNamesStayOutside) {
  TempFolder folder;
  const fs::path archive = folder.path() / "evil.zip";
  std::string error;
  ASSERT_TRUE(writeZip(archive.string(),
                       {{"../escape.txt", "x"},
                        {"/absolute.txt", "x"},
                        {"c:/drive.txt", "x"},
                        {"sub/../../up.txt", "x"},
                        {"./dot.txt", "x"},
                        {"__MACOSX/._main.lua", "x"},
                        {"dir\\inner\\file.txt", "back"},
                        {"ok/main.lua", "print(1)"}},
                       error))
      << error;
  const fs::path destination = folder.path() / "out";
  ASSERT_TRUE(extractPackage(archive.string(), destination.string(), error)) << error;
  EXPECT_EQ(fileNamesBelow(folder.path() / "out"),
            (std::vector<std::string>{"dir/inner/file.txt", "ok/main.lua"}));
  EXPECT_EQ(readText(destination / "dir/inner/file.txt"), "back");
  EXPECT_FALSE(fs::exists(folder.path() / "escape.txt"));
  EXPECT_FALSE(fs::exists(folder.path() / "up.txt"));

  EXPECT_FALSE(isSafeRelativePath(""));
  EXPECT_FALSE(isSafeRelativePath(std::string("a\0b", 3)));
  EXPECT_TRUE(isSafeRelativePath("a/..b/c.."));
}

TEST(ModPackages, EntryCountMustBeOneToMaximum) {
  TempFolder folder;
  std::string error;
  std::vector<ZipEntry> entries;
  for (size_t i = 0; i <= kMaxPackageEntries; ++i) entries.push_back({std::to_string(i), ""});
  const fs::path crowded = folder.path() / "crowded.zip";
  ASSERT_TRUE(writeZip(crowded.string(), entries, error)) << error;
  EXPECT_FALSE(extractPackage(crowded.string(), (folder.path() / "a").string(), error));
  EXPECT_EQ(error, "zip has too many files");

  // libzip writes no file for an empty archive: the end record alone is one.
  const fs::path empty = folder.path() / "empty.zip";
  writeText(empty, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  error.clear();
  EXPECT_FALSE(extractPackage(empty.string(), (folder.path() / "b").string(), error));
  EXPECT_EQ(error, "zip has too many files");

  entries.pop_back();
  ASSERT_TRUE(writeZip(crowded.string(), entries, error)) << error;
  EXPECT_TRUE(extractPackage(crowded.string(), (folder.path() / "c").string(), error));
}

TEST(ModPackages, TruncatedAndOversizedArchivesFail) {
  TempFolder folder;
  std::string error;
  const fs::path whole = folder.path() / "whole.zip";
  ASSERT_TRUE(writeZip(whole.string(), {{"main.lua", std::string(4000, 'a')}}, error));
  const std::string bytes = readText(whole);
  const fs::path truncated = folder.path() / "truncated.zip";
  writeText(truncated, bytes.substr(0, bytes.size() / 2));
  EXPECT_FALSE(extractPackage(truncated.string(), (folder.path() / "t").string(), error));
  EXPECT_EQ(error, "cannot open zip");
  EXPECT_FALSE(extractPackage((folder.path() / "none.zip").string(), "x", error));
  EXPECT_EQ(error, "cannot open zip");

  // Just over 256 MiB of zeros packs into a few hundred kilobytes.
  const fs::path bomb = folder.path() / "bomb.zip";
  {
    int openError = 0;
    zip_t* archive = zip_open(bomb.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &openError);
    ASSERT_NE(archive, nullptr);
    ZeroSource zeros{kMaxPackageBytes + 1};
    zip_source_t* source = zip_source_function(archive, zeroSourceCallback, &zeros);
    const zip_int64_t index = zip_file_add(archive, "zeros.bin", source, 0);
    ASSERT_GE(index, 0);
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
    ASSERT_EQ(zip_close(archive), 0);
  }
  EXPECT_LT(fs::file_size(bomb), 2u << 20);
  const fs::path out = folder.path() / "bomb";
  EXPECT_FALSE(extractPackage(bomb.string(), out.string(), error));
  EXPECT_EQ(error, "zip is too large");
  EXPECT_FALSE(fs::exists(out / "zeros.bin"));
}

class ModLoading : public ModFolderTest {};

TEST_F(ModLoading, MainLuaAtRootOrOneFolderDeep) {
  addPackage("deep.mod.orvac", {{"a/b/main.lua", "print(1)"}});
  addPackage("nested.mod.orvac",
             {{"z/main.lua", "orva.log('z')"}, {"y/main.lua", "orva.log('y')"}});
  addPackage("empty.mod.orvac", {{"main.lua", ""}});
  addPackage("broken.zip", {{"main.lua", "this is not lua"}});
  writeText(folder.path() / "junk.zip", "not a zip at all");
  const std::string errors = load();
  EXPECT_NE(errors.find("[mod:deep] package has no main.lua\n"), std::string::npos);
  EXPECT_NE(errors.find("[mod:empty] main.lua is empty\n"), std::string::npos);
  EXPECT_NE(errors.find("[mod:broken] load failed: "), std::string::npos);
  EXPECT_NE(errors.find("[mod:junk] cannot open zip\n"), std::string::npos);
  EXPECT_EQ(manager.modNames(), std::vector<std::string>{"nested"});
  EXPECT_EQ(context.logLines, std::vector<std::string>{"[nested] y"});
}

TEST_F(ModLoading, FirstPackageOfANameThatLoadsWins) {
  addPackage("a.mod.orvac", {{"main.lua", "error('first fails')"}, {"stale.txt", "old"}});
  addPackage("a.zip", {{"main.lua", "orva.log(orva.data_read('x') or 'second')"}});
  addPackage("b.mod.orvac", {{"main.lua", "orva.log('b1')"}});
  addPackage("b.zip", {{"main.lua", "orva.log('b2')"}});
  const std::string errors = load();
  EXPECT_NE(errors.find("[mod:a] run failed: "), std::string::npos);
  EXPECT_EQ(manager.modNames(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(context.logLines, (std::vector<std::string>{"[a] second", "[b] b1"}));
  EXPECT_FALSE(fs::exists(folder.path() / ".cache" / "a" / "stale.txt"));
}

TEST_F(ModLoading, CacheIsEmptiedOnEveryLoad) {
  writeText(folder.path() / ".cache" / "old" / "leftover.txt", "x");
  addMod("m", "print('hi')");
  load();
  EXPECT_FALSE(fs::exists(folder.path() / ".cache" / "old"));
  EXPECT_TRUE(fs::exists(folder.path() / ".cache" / "m" / "main.lua"));
}

TEST_F(ModLoading, ModListHashCoversNamesTextsAndOrder) {
  EXPECT_EQ(manager.modListHash(), kModListHashBasis);
  load();
  EXPECT_EQ(manager.modListHash(), kModListHashBasis);

  // FNV-1a of "a", a zero byte and "x".
  uint32_t expected = kModListHashBasis;
  for (unsigned char byte : {'a', '\0', 'x'}) expected = (expected ^ byte) * kModListHashPrime;
  EXPECT_EQ(extendModListHash(kModListHashBasis, "a", "x"), expected);

  addMod("a", "local x = 1");
  addMod("b", "local y = 2");
  load();
  const uint32_t both = manager.modListHash();
  EXPECT_EQ(both, extendModListHash(extendModListHash(kModListHashBasis, "a", "local x = 1"), "b",
                                    "local y = 2"));
  EXPECT_NE(both, extendModListHash(extendModListHash(kModListHashBasis, "b", "local y = 2"), "a",
                                    "local x = 1"));
  addMod("b", "local y = 3");
  load();
  EXPECT_NE(manager.modListHash(), both);
  manager.unloadMods();
  EXPECT_EQ(manager.modListHash(), kModListHashBasis);
}
