#include "platform/sound_player.h"

#include <AL/al.h>
#include <AL/alc.h>

#include <map>

struct SoundPlayer::Device {
  ALCdevice* device = nullptr;
  ALCcontext* context = nullptr;
  ALuint source = 0;
  std::map<int, ALuint> buffers;
};

SoundPlayer::SoundPlayer() {
  ALCdevice* device = alcOpenDevice(nullptr);
  if (device == nullptr) return;
  ALCcontext* context = alcCreateContext(device, nullptr);
  if (context == nullptr || alcMakeContextCurrent(context) != ALC_TRUE) {
    if (context != nullptr) alcDestroyContext(context);
    alcCloseDevice(device);
    return;
  }
  device_ = std::make_unique<Device>();
  device_->device = device;
  device_->context = context;
  alGenSources(1, &device_->source);
}

SoundPlayer::~SoundPlayer() {
  if (!device_) return;
  alSourceStop(device_->source);
  alDeleteSources(1, &device_->source);
  for (auto& [id, buffer] : device_->buffers) alDeleteBuffers(1, &buffer);
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(device_->context);
  alcCloseDevice(device_->device);
}

bool SoundPlayer::available() const {
  return device_ != nullptr;
}

void SoundPlayer::play(int id, const std::vector<int16_t>& samples, int sampleRate) {
  if (!device_ || samples.empty()) return;
  auto found = device_->buffers.find(id);
  if (found == device_->buffers.end()) {
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    alBufferData(buffer, AL_FORMAT_MONO16, samples.data(),
                 static_cast<ALsizei>(samples.size() * sizeof(int16_t)), sampleRate);
    if (alGetError() != AL_NO_ERROR) return;
    found = device_->buffers.emplace(id, buffer).first;
  }
  alSourceStop(device_->source);
  alSourcei(device_->source, AL_BUFFER, static_cast<ALint>(found->second));
  alSourcePlay(device_->source);
}
