#include "world/mesh_scheduler.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "render/renderer.h"

namespace {

int defaultWorkerCount() {
  const unsigned hw = std::thread::hardware_concurrency();
  return hw == 0 ? 2 : std::clamp(static_cast<int>(hw), 1, 4);
}

int columnOf(double v) {
  const double f = std::floor(v);
  if (!(f >= -2147483648.0 && f <= 2147483647.0)) return 0;  // NaN or absurd positions
  return floorDiv16(static_cast<int>(f));
}

size_t meshBytes(const ChunkMeshPair& pair) {
  return (pair.opaque.vertices.capacity() + pair.translucent.vertices.capacity() +
          pair.shadow.vertices.capacity()) *
             sizeof(ChunkVertex) +
         (pair.opaque.indices.capacity() + pair.translucent.indices.capacity() +
          pair.shadow.indices.capacity()) *
             sizeof(uint32_t);
}

void raisePeak(std::atomic<int64_t>& peak, int64_t value) {
  int64_t seen = peak.load();
  while (value > seen && !peak.compare_exchange_weak(seen, value)) {
  }
}

}  // namespace

MeshScheduler::MeshScheduler(int workers) {
  const int count = workers > 0 ? std::clamp(workers, 1, 4) : defaultWorkerCount();
  for (int i = 0; i < count; ++i) workers_.emplace_back(&MeshScheduler::workerLoop, this);
}

MeshScheduler::~MeshScheduler() {
  stop();
}

void MeshScheduler::stop() {
  {
    std::lock_guard lock(jobLock_);
    stopping_ = true;
  }
  jobReady_.notify_all();
  for (std::thread& worker : workers_) {
    if (worker.joinable()) worker.join();
  }
}

void MeshScheduler::setRenderDistance(int r) {
  renderDistance_ = std::clamp(r, 1, 64);
}

void MeshScheduler::reset() {
  ++epoch_;
  meshed_.clear();
  inFlight_.clear();
  queue_.clear();
  queueIndex_ = 0;
  initialized_ = false;
  {
    // Jobs a worker is meshing right now still count until it finishes them.
    std::lock_guard lock(jobLock_);
    pending_ -= static_cast<int>(jobs_.size());
    noteJobBytes(-static_cast<int64_t>(jobs_.size() * sizeof(Job)));
    jobs_.clear();
  }
  std::lock_guard lock(resultLock_);
  int64_t dropped = 0;
  for (const Result& r : results_) dropped += static_cast<int64_t>(meshBytes(r.meshes));
  noteResultBytes(-dropped);
  results_.clear();
}

bool MeshScheduler::withinReach(ChunkKey key, int reach) const {
  return std::abs(int64_t{key.cx} - centerX_) <= reach &&
         std::abs(int64_t{key.cz} - centerZ_) <= reach;
}

void MeshScheduler::rebuildQueue() {
  queue_.clear();
  queueIndex_ = 0;
  const int r = renderDistance_;
  for (int dz = -r; dz <= r; ++dz) {
    for (int dx = -r; dx <= r; ++dx) {
      for (int sy = 0; sy < kSectionsPerColumn; ++sy) {
        const ChunkKey key{centerX_ + dx, sy, centerZ_ + dz};
        if (!meshed_.contains(key) && !inFlight_.contains(key)) queue_.push_back(key);
      }
    }
  }
  auto distance = [this](const ChunkKey& k) {
    return std::abs(k.cx - centerX_) + std::abs(k.cz - centerZ_);
  };
  std::stable_sort(queue_.begin(), queue_.end(), [&](const ChunkKey& a, const ChunkKey& b) {
    const int da = distance(a), db = distance(b);
    return da != db ? da < db : a.sy > b.sy;
  });
}

std::vector<ChunkKey> MeshScheduler::queuedSections() const {
  return std::vector<ChunkKey>(queue_.begin() + static_cast<std::ptrdiff_t>(queueIndex_),
                               queue_.end());
}

void MeshScheduler::preload(World& world, Renderer& renderer, double x, double z, int r) {
  centerX_ = columnOf(x);
  centerZ_ = columnOf(z);
  initialized_ = true;
  world.ensureColumnsAround(x, z, r + 1);
  for (int dz = -r; dz <= r; ++dz) {
    for (int dx = -r; dx <= r; ++dx) {
      for (int sy = 0; sy < kSectionsPerColumn; ++sy) {
        const ChunkKey key{centerX_ + dx, sy, centerZ_ + dz};
        const ChunkMeshPair meshes = buildChunkMesh(world, key);
        renderer.setChunkMesh(key, meshes.opaque);
        renderer.setChunkShadowMesh(key, meshes.shadow);
        renderer.setChunkTranslucentMesh(key, meshes.translucent);
        meshed_.insert(key);
      }
    }
  }
  rebuildQueue();
}

void MeshScheduler::update(World& world, Renderer& renderer, double x, double z) {
  const int cx = columnOf(x), cz = columnOf(z);
  generationsThisFrame_ = 0;
  if (!initialized_ || cx != centerX_ || cz != centerZ_) {
    centerX_ = cx;
    centerZ_ = cz;
    initialized_ = true;
    std::vector<ChunkKey> far;
    for (const ChunkKey& key : meshed_) {
      if (!withinReach(key, renderDistance_ + 2)) far.push_back(key);
    }
    for (const ChunkKey& key : far) {
      renderer.removeChunkMeshes(key);
      meshed_.erase(key);
    }
    world.unloadColumnsBeyond(centerX_, centerZ_, renderDistance_ + 4);
    rebuildQueue();
  }
  submit(world);
  collect(renderer);
}

bool MeshScheduler::ensureNeighbourColumns(World& world, ChunkKey key) {
  for (int dz = -1; dz <= 1; ++dz) {
    for (int dx = -1; dx <= 1; ++dx) {
      const int64_t ncx = int64_t{key.cx} + dx, ncz = int64_t{key.cz} + dz;
      // Columns outside the world never exist; there is nothing to wait for.
      if (ncx < INT32_MIN || ncx > INT32_MAX || ncz < INT32_MIN || ncz > INT32_MAX) continue;
      if (!columnInsideWorld(static_cast<int>(ncx)) || !columnInsideWorld(static_cast<int>(ncz)))
        continue;
      if (world.isColumnLoaded(static_cast<int>(ncx), static_cast<int>(ncz))) continue;
      if (generationsThisFrame_ >= kMaxGenerationsPerFrame) return false;
      world.ensureColumn(static_cast<int>(ncx), static_cast<int>(ncz));
      ++generationsThisFrame_;
    }
  }
  return true;
}

void MeshScheduler::submit(World& world) {
  int submitted = 0;
  while (submitted < kMaxSubmitsPerFrame && queueIndex_ < queue_.size() &&
         pending_.load() < kMaxPendingJobs) {
    const ChunkKey key = queue_[queueIndex_];
    if (meshed_.contains(key) || inFlight_.contains(key)) {
      ++queueIndex_;
      continue;
    }
    if (!ensureNeighbourColumns(world, key)) return;  // stays at the head of the queue
    ++queueIndex_;
    auto job = std::make_unique<Job>();
    job->epoch = epoch_;
    world.snapshotInto(key, job->snapshot);
    inFlight_.insert(key);
    {
      std::lock_guard lock(jobLock_);
      jobs_.push_back(std::move(job));
      ++pending_;
      noteJobBytes(sizeof(Job));
    }
    jobReady_.notify_one();
    ++submitted;
  }
}

void MeshScheduler::collect(Renderer& renderer) {
  int accepted = 0;
  while (accepted < kMaxResultsPerFrame) {
    Result result;
    {
      std::lock_guard lock(resultLock_);
      if (results_.empty()) return;
      result = std::move(results_.back());
      results_.pop_back();
      noteResultBytes(-static_cast<int64_t>(meshBytes(result.meshes)));
    }
    // A result from before a reset must not touch the new epoch's bookkeeping: its
    // section may already be in flight again.
    if (result.epoch != epoch_) continue;
    inFlight_.erase(result.key);
    if (!withinReach(result.key, renderDistance_ + 2)) continue;
    renderer.setChunkMesh(result.key, result.meshes.opaque);
    renderer.setChunkShadowMesh(result.key, result.meshes.shadow);
    renderer.setChunkTranslucentMesh(result.key, result.meshes.translucent);
    meshed_.insert(result.key);
    ++accepted;
  }
}

void MeshScheduler::workerLoop() {
  for (;;) {
    std::unique_ptr<Job> job;
    {
      std::unique_lock lock(jobLock_);
      jobReady_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (jobs_.empty()) return;  // stopping with nothing left
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    Result result{job->snapshot.key, job->epoch, meshChunk(job->snapshot)};
    const size_t bytes = meshBytes(result.meshes);
    job.reset();
    noteJobBytes(-static_cast<int64_t>(sizeof(Job)));
    --pending_;
    std::lock_guard lock(resultLock_);
    results_.push_back(std::move(result));
    noteResultBytes(static_cast<int64_t>(bytes));
  }
}

void MeshScheduler::noteJobBytes(int64_t delta) {
  raisePeak(peakJobBytes_, jobBytes_ += delta);
}

void MeshScheduler::noteResultBytes(int64_t delta) {
  raisePeak(peakResultBytes_, resultBytes_ += delta);
}

MeshMemory MeshScheduler::memory() const {
  return {static_cast<size_t>(std::max<int64_t>(0, jobBytes_.load())),
          static_cast<size_t>(std::max<int64_t>(0, resultBytes_.load())),
          static_cast<size_t>(peakJobBytes_.load()), static_cast<size_t>(peakResultBytes_.load())};
}
