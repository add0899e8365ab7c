// World and player save files.
//
// Both files: 8-byte magic ("ORVAWRLD" world, "ORVAPLYR" player), then the version as
// uint32; version 2 is written, versions 1 and 2 are read. Little-endian, unpadded.
//
// world.dat body:
//   seed u32, time of day f32, weather u8
//   mob count u32, then per mob (37 bytes): x, y, z, home x, home y, home z, heading,
//     decision timer (8 x f32), type u8, hit points i32
//   drop count u32, then per drop (20 bytes): x, y, z (3 x f32), block u16, count u16,
//     age f32                                   [version 1: block u8, 19 bytes]
//   edit count u32, then per edit (15 bytes): x, y, z (3 x i32), block u16, fluid level
//     u8 (255: none)                            [version 1: block u8, 14 bytes]
//
// player.dat body:
//   x, y, z, yaw, pitch (5 x f32), flying u8 (non-zero: true), hit points i32,
//   game mode u8, hotbar selection u8, slot count u32, then per slot (4 bytes): block
//   u16, count u16                              [version 1: block u8, 3 bytes]
//
// Readers refuse more than 100000 mobs, 100000 drops, 50000000 edits or 4096 slots,
// and any count the remaining bytes cannot hold, before allocating for it.
//
// Writing: the whole file is built in memory, written to "<file>.tmp", flushed to the
// disk, renamed over the file in one step, and the folder is flushed too. A crash or a
// failed write at any point leaves either the old file or the new one, never neither.

#include "save/save_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/byte_io.h"

namespace {

constexpr char kWorldMagic[8] = {'O', 'R', 'V', 'A', 'W', 'R', 'L', 'D'};
constexpr char kPlayerMagic[8] = {'O', 'R', 'V', 'A', 'P', 'L', 'Y', 'R'};
constexpr uint32_t kWriteVersion = 2;
constexpr uint32_t kMaxMobs = 100000, kMaxDrops = 100000, kMaxEdits = 50000000, kMaxSlots = 4096;

using Writer = ByteWriter;

// The save files' checks on top of the shared codec: the magic, and list counts that
// the rest of the file must be able to hold.
class Reader : public ByteReader {
 public:
  using ByteReader::ByteReader;
  bool magic(const char (&expected)[8]) {
    const uint8_t* found = bytes(8);
    if (found == nullptr || std::memcmp(found, expected, 8) != 0) fail();
    return ok();
  }
  // A list count: false (and the reader fails) above `limit` or when the rest of the
  // data cannot hold `count` elements of `elementSize` bytes.
  bool count(uint32_t& n, uint32_t limit, size_t elementSize) {
    n = u32();
    if (!ok() || n > limit || n > remaining() / elementSize) fail();
    return ok();
  }
};

bool readVersion(Reader& in, uint32_t& version) {
  version = in.u32();
  return in.ok() && (version == 1 || version == 2);
}

// --- Files ---

bool writeAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void syncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool writeSaveFile(std::string_view name, const char* fileName, const std::vector<uint8_t>& bytes,
                   const std::string& saves) {
  if (!isValidWorldName(name)) return false;
  const std::string folder = worldFolder(name, saves);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) return false;
  return writeFileAtomically(folder + "/" + fileName, bytes);
}

bool readFile(std::string_view name, const char* fileName, const std::string& saves,
              std::vector<uint8_t>& bytes) {
  if (!isValidWorldName(name)) return false;
  const std::string path = worldFolder(name, saves) + "/" + fileName;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (ok) {
    bytes.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (ok && done < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // the file shrank: decode what is there
      done += static_cast<size_t>(n);
    }
    bytes.resize(done);
  }
  ::close(fd);
  return ok;
}

}  // namespace

bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::string temporary = path + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  const std::string folder = std::filesystem::path(path).parent_path().string();
  syncFolder(folder.empty() ? "." : folder);
  return true;
}

std::vector<uint8_t> encodeWorldSave(const SavedWorld& world) {
  Writer out(32 + world.mobs.size() * 37 + world.drops.size() * 20 + world.edits.size() * 15);
  out.bytes(kWorldMagic, 8);
  out.u32(kWriteVersion);
  out.u32(world.seed);
  out.f32(world.timeOfDay);
  out.u8(world.weather);
  out.u32(static_cast<uint32_t>(world.mobs.size()));
  for (const SavedMob& m : world.mobs) {
    for (float f : {m.x, m.y, m.z, m.homeX, m.homeY, m.homeZ, m.heading, m.decisionTimer}) {
      out.f32(f);
    }
    out.u8(m.type);
    out.i32(m.hitPoints);
  }
  out.u32(static_cast<uint32_t>(world.drops.size()));
  for (const SavedDrop& d : world.drops) {
    out.f32(d.x);
    out.f32(d.y);
    out.f32(d.z);
    out.u16(d.block);
    out.u16(d.count);
    out.f32(d.age);
  }
  out.u32(static_cast<uint32_t>(world.edits.size()));
  for (const SavedEdit& e : world.edits) {
    out.i32(e.x);
    out.i32(e.y);
    out.i32(e.z);
    out.u16(e.block);
    out.u8(e.level);
  }
  return out.take();
}

std::vector<uint8_t> encodePlayerSave(const SavedPlayer& player) {
  Writer out(40 + player.slots.size() * 4);
  out.bytes(kPlayerMagic, 8);
  out.u32(kWriteVersion);
  for (float f : {player.x, player.y, player.z, player.yaw, player.pitch}) out.f32(f);
  out.u8(player.flying ? 1 : 0);
  out.i32(player.hitPoints);
  out.u8(player.gameMode);
  out.u8(player.hotbar);
  out.u32(static_cast<uint32_t>(player.slots.size()));
  for (const SavedSlot& s : player.slots) {
    out.u16(s.block);
    out.u16(s.block == 0 ? 0 : s.count);
  }
  return out.take();
}

bool decodeWorldSave(const uint8_t* data, size_t size, SavedWorld& out) {
  Reader in(data, size);
  uint32_t version = 0;
  if (!in.magic(kWorldMagic) || !readVersion(in, version)) return false;
  const bool v1 = version == 1;
  out.seed = in.u32();
  out.timeOfDay = in.f32();
  out.weather = in.u8();
  uint32_t n = 0;
  if (!in.count(n, kMaxMobs, 37)) return false;
  out.mobs.resize(n);
  for (SavedMob& m : out.mobs) {
    for (float* f :
         {&m.x, &m.y, &m.z, &m.homeX, &m.homeY, &m.homeZ, &m.heading, &m.decisionTimer}) {
      *f = in.f32();
    }
    m.type = in.u8();
    m.hitPoints = in.i32();
  }
  if (!in.count(n, kMaxDrops, v1 ? 19 : 20)) return false;
  out.drops.resize(n);
  for (SavedDrop& d : out.drops) {
    d.x = in.f32();
    d.y = in.f32();
    d.z = in.f32();
    d.block = v1 ? in.u8() : in.u16();
    d.count = in.u16();
    d.age = in.f32();
  }
  if (!in.count(n, kMaxEdits, v1 ? 14 : 15)) return false;
  out.edits.resize(n);
  for (SavedEdit& e : out.edits) {
    e.x = in.i32();
    e.y = in.i32();
    e.z = in.i32();
    e.block = v1 ? in.u8() : in.u16();
    e.level = in.u8();
  }
  return in.ok();
}

bool decodePlayerSave(const uint8_t* data, size_t size, SavedPlayer& out) {
  Reader in(data, size);
  uint32_t version = 0;
  if (!in.magic(kPlayerMagic) || !readVersion(in, version)) return false;
  const bool v1 = version == 1;
  out.x = in.f32();
  out.y = in.f32();
  out.z = in.f32();
  out.yaw = in.f32();
  out.pitch = in.f32();
  out.flying = in.u8() != 0;
  out.hitPoints = in.i32();
  out.gameMode = in.u8();
  out.hotbar = in.u8();
  uint32_t n = 0;
  if (!in.count(n, kMaxSlots, v1 ? 3 : 4)) return false;
  out.slots.resize(n);
  for (SavedSlot& s : out.slots) {
    s.block = v1 ? in.u8() : in.u16();
    s.count = in.u16();
  }
  return in.ok();
}

bool writeWorldSave(std::string_view name, const SavedWorld& world, const std::string& saves) {
  return isValidWorldName(name) && writeSaveFile(name, "world.dat", encodeWorldSave(world), saves);
}

bool writePlayerSave(std::string_view name, const SavedPlayer& player, const std::string& saves) {
  return isValidWorldName(name) &&
         writeSaveFile(name, "player.dat", encodePlayerSave(player), saves);
}

bool readWorldSave(std::string_view name, SavedWorld& out, const std::string& saves) {
  std::vector<uint8_t> bytes;
  return readFile(name, "world.dat", saves, bytes) &&
         decodeWorldSave(bytes.data(), bytes.size(), out);
}

bool readPlayerSave(std::string_view name, SavedPlayer& out, const std::string& saves) {
  std::vector<uint8_t> bytes;
  return readFile(name, "player.dat", saves, bytes) &&
         decodePlayerSave(bytes.data(), bytes.size(), out);
}
