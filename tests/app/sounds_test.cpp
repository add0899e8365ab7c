#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "app/sounds.h"
#include "game/random.h"
#include "platform/sound_player.h"

namespace {

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

}  // namespace

TEST(Sounds, LengthsFirstSamplesAndFadeOut) {
  SoundBank bank;
  synthesiseSounds(bank);
  ASSERT_TRUE(bank.synthesised);
  EXPECT_EQ(bank.samples[SoundBreak].size(), 2425u);
  EXPECT_EQ(bank.samples[SoundPlace].size(), 1764u);
  EXPECT_EQ(bank.samples[SoundStep].size(), 1102u);
  EXPECT_EQ(bank.samples[SoundHurt].size(), 3087u);

  uint32_t noise = 0x12345678u;
  const float first = static_cast<float>(xorshift32(noise) % 2000) / 1000.0f - 1.0f;
  EXPECT_EQ(bank.samples[SoundBreak][0], static_cast<int16_t>(0.7f * first * 12000.0f));
  EXPECT_EQ(bank.samples[SoundPlace][0], 581);
  EXPECT_EQ(bank.samples[SoundHurt][0], 5400) << "a square wave starts at +0.45";
  for (const auto& samples : bank.samples) {
    EXPECT_LT(std::abs(samples.back()), 50) << "every sound fades out";
  }

  // The footstep's noise continues where the break sound's left off.
  uint32_t shared = 0x12345678u;
  for (int i = 0; i < 2425; ++i) xorshift32(shared);
  const float step = static_cast<float>(xorshift32(shared) % 2000) / 1000.0f - 1.0f;
  EXPECT_EQ(bank.samples[SoundStep][0], static_cast<int16_t>(0.45f * step * 12000.0f));

  const std::vector<int16_t> before = bank.samples[SoundBreak];
  synthesiseSounds(bank);
  EXPECT_EQ(bank.samples[SoundBreak], before) << "only once";
}

TEST(Sounds, WavImagesHaveTheStandardHeader) {
  SoundBank bank;
  synthesiseSounds(bank);
  const std::vector<uint8_t>& wav = bank.wav[SoundStep];
  ASSERT_EQ(wav.size(), 44u + 2 * 1102);
  EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
  EXPECT_EQ(le32(wav, 4), 2 * 1102 + 36u);
  EXPECT_EQ(std::memcmp(wav.data() + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(le32(wav, 16), 16u);
  EXPECT_EQ(wav[20] | (wav[21] << 8), 1);
  EXPECT_EQ(wav[22] | (wav[23] << 8), 1);
  EXPECT_EQ(le32(wav, 24), 22050u);
  EXPECT_EQ(le32(wav, 28), 44100u);
  EXPECT_EQ(wav[32] | (wav[33] << 8), 2);
  EXPECT_EQ(wav[34] | (wav[35] << 8), 16);
  EXPECT_EQ(std::memcmp(wav.data() + 36, "data", 4), 0);
  EXPECT_EQ(le32(wav, 40), 2 * 1102u);
  EXPECT_EQ(static_cast<int16_t>(wav[44] | (wav[45] << 8)), bank.samples[SoundStep][0]);
}

TEST(Sounds, PlayingIsHarmlessWithoutADeviceOrWithBadIds) {
  SoundPlayer player;  // CI machines have no audio device
  SoundBank bank;
  playSound(player, bank, SoundBreak);  // not synthesised yet: nothing
  synthesiseSounds(bank);
  for (int id : {-1, 0, 1, 2, 3, 4, 1000}) playSound(player, bank, id);
  SUCCEED();
}
