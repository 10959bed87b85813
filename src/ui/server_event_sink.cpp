#include "ui/server_event_sink.h"

namespace tvx {

ServerEventHandler ServerEventSink::Handler() {
  return [this](ServerEvent event, const std::wstring& text) { Deliver(event, text); };
}

void ServerEventSink::Deliver(ServerEvent event, const std::wstring& text) {
  std::lock_guard lock(lock_);
  if (poster_ == nullptr) return;
  std::unique_ptr<std::wstring> copy;
  if (event == ServerEvent::DrawingsChanged) {
    if (drawingsPending_.exchange(1) != 0) return;
    if (!poster_->Post(event, copy)) drawingsPending_.store(0);
    return;
  }
  copy = std::make_unique<std::wstring>(text);
  poster_->Post(event, copy);  // a failed post leaves the copy here, freed on return
}

void ServerEventSink::Detach() {
  std::lock_guard lock(lock_);
  poster_ = nullptr;
}

}  // namespace tvx
