#include "media/input_sink.h"
#include "media/recording_input_sink.h"

namespace tvx {

std::unique_ptr<InputSink> CreateSystemInputSink() {
  // Enough to look back at a session's last moments without growing for ever.
  constexpr std::size_t kKeptEvents = 4096;
  return std::make_unique<RecordingInputSink>(kKeptEvents);
}

bool SystemInputInjects() { return false; }

}  // namespace tvx
