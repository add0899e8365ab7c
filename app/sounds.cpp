#include "app/sounds.h"

#include <algorithm>
#include <cmath>

#include "game/random.h"
#include "platform/sound_player.h"

namespace {

constexpr float kTwoPi = 6.28318530717958647692f;
constexpr uint32_t kNoiseSeed = 0x12345678u;

// Sample count of a sound lasting `ms` milliseconds.
int sampleCount(int ms) {
  return ms * kSoundSampleRate / 1000;
}

float noise(uint32_t& state) {
  return static_cast<float>(xorshift32(state) % 2000) / 1000.0f - 1.0f;
}

int16_t toSample(float value, float envelope) {
  const float s = std::clamp(value * envelope * 12000.0f, -32767.0f, 32767.0f);
  return static_cast<int16_t>(s);  // truncates towards zero
}

// Fills `out` with n samples: the envelope (1 - i / n)^2 times what `wave(i)` returns.
template <class Wave>
std::vector<int16_t> render(int n, Wave wave) {
  std::vector<int16_t> out(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const float fade = 1.0f - static_cast<float>(i) / static_cast<float>(n);
    out[static_cast<size_t>(i)] = toSample(wave(i), fade * fade);
  }
  return out;
}

void put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void putTag(std::vector<uint8_t>& b, const char (&tag)[5]) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(tag[i]));
}

}  // namespace

std::vector<uint8_t> makeWav(const std::vector<int16_t>& samples) {
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::vector<uint8_t> b;
  b.reserve(44 + dataBytes);
  putTag(b, "RIFF");
  put32(b, dataBytes + 36);
  putTag(b, "WAVE");
  putTag(b, "fmt ");
  put32(b, 16);
  put16(b, 1);  // PCM
  put16(b, 1);  // mono
  put32(b, kSoundSampleRate);
  put32(b, kSoundSampleRate * 2);
  put16(b, 2);
  put16(b, 16);
  putTag(b, "data");
  put32(b, dataBytes);
  for (int16_t s : samples) put16(b, static_cast<uint16_t>(s));
  return b;
}

void synthesiseSounds(SoundBank& bank) {
  if (bank.synthesised) return;
  uint32_t noiseState = kNoiseSeed;  // shared by the noisy sounds, in order

  const float breakStep = kTwoPi * 90.0f / kSoundSampleRate;
  float phase = 0.0f;
  bank.samples[SoundBreak] = render(sampleCount(110), [&](int) {
    const float v = 0.3f * std::sin(phase) + 0.7f * noise(noiseState);
    phase += breakStep;
    return v;
  });

  const float placeStep = kTwoPi * 170.0f / kSoundSampleRate;
  phase = 0.0f;
  bank.samples[SoundPlace] = render(sampleCount(80), [&](int) {
    phase += placeStep;
    return std::sin(phase);
  });

  bank.samples[SoundStep] = render(sampleCount(50), [&](int) { return 0.45f * noise(noiseState); });

  const int hurtLength = sampleCount(140);
  phase = 0.0f;
  bank.samples[SoundHurt] = render(hurtLength, [&](int i) {
    const float frequency =
        320.0f - 170.0f * static_cast<float>(i) / static_cast<float>(hurtLength);
    phase += frequency * kTwoPi / kSoundSampleRate;
    return std::sin(phase) > 0.0f ? 0.45f : -0.45f;
  });

  for (int id = 0; id < kSoundCount; ++id) bank.wav[id] = makeWav(bank.samples[id]);
  bank.synthesised = true;
}

void playSound(SoundPlayer& player, const SoundBank& bank, int id) {
  if (id < 0 || id >= kSoundCount || !bank.synthesised) return;
  player.play(id, bank.samples[id], kSoundSampleRate);
}
