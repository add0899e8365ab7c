#pragma once
// The game's four sound effects, synthesised at start-up into in-memory WAV images
// (22050 Hz, mono, signed 16-bit) and played through the platform's sound player.

#include <array>
#include <cstdint>
#include <vector>

class SoundPlayer;

enum SoundId : int { SoundBreak = 0, SoundPlace = 1, SoundStep = 2, SoundHurt = 3, kSoundCount };

inline constexpr int kSoundSampleRate = 22050;

struct SoundBank {
  bool synthesised = false;
  std::array<std::vector<int16_t>, kSoundCount> samples;
  std::array<std::vector<uint8_t>, kSoundCount> wav;  // complete WAV images
};

// Builds the four sounds once; later calls do nothing.
void synthesiseSounds(SoundBank& bank);

// A WAV image (RIFF header, PCM format chunk, data chunk) of mono 16-bit samples.
std::vector<uint8_t> makeWav(const std::vector<int16_t>& samples);

// Plays a prepared sound, interrupting the one playing; unknown ids, an unsynthesised
// bank and a player without an audio device are ignored.
void playSound(SoundPlayer& player, const SoundBank& bank, int id);
