#include "deck/audio/Engine.h"
#include "deck/audio/SoundOutput.h"

namespace zen::audio {

std::unique_ptr<AudioEngine> createAudioEngine() {
    return std::make_unique<BasicEngine<AudioEngine>>(std::make_unique<SoundOutput>());
}

} // namespace zen::audio
