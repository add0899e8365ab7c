#pragma once
// Asynchronous playback of short mono 16-bit sounds through OpenAL: one voice, so a new
// sound stops the one playing. Without an audio device (a server, CI) it stays silent
// and every call is harmless.

#include <cstdint>
#include <memory>
#include <vector>

class SoundPlayer {
 public:
  SoundPlayer();
  ~SoundPlayer();
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;

  // True when an audio device was opened.
  bool available() const;
  // Starts sound `id` (its samples are uploaded on first use) and returns at once.
  void play(int id, const std::vector<int16_t>& samples, int sampleRate);

 private:
  struct Device;
  std::unique_ptr<Device> device_;
};
