#include "viewer/sound_output.h"

namespace tvx {

std::unique_ptr<SoundOutput> CreateDefaultSoundOutput() { return CreateNullSoundOutput(); }

}  // namespace tvx
