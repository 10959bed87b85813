#include "host/relay_probe.h"

#include "foundation/format.h"
#include "net/dial.h"
#include "net/message_types.h"
#include "net/relay_messages.h"

namespace tvx {

RelayProbeResult ProbeRelay(Connection& connection, const std::wstring& host, std::uint16_t port) {
  constexpr std::uint32_t kTimeoutMs = 4000;
  RelayProbeResult result;
  std::wstring error;
  if (!Dial(connection, host, port, kTimeoutMs, error)) return result;
  connection.SetReceiveTimeout(kTimeoutMs);
  connection.SetSendTimeout(kTimeoutMs);
  result.state = RelayProbeResult::State::NotARelay;
  FrameHeader header;
  Bytes answer;
  RelayStatus status;
  if (connection.SendFrame(msg::kRelayStatus, 0, nullptr, 0) && connection.ReceiveFrame(header, answer) &&
      header.type == msg::kRelayStatus && Decode(answer, status)) {
    result.state = RelayProbeResult::State::Online;
    result.hostsSharing = status.hostsSharing;
    result.connectionsCarried = status.connectionsCarried;
  }
  connection.Close();
  return result;
}

std::wstring RelayProbeText(const RelayProbeResult& result) {
  switch (result.state) {
    case RelayProbeResult::State::Online:
      return FormatText(L"online   %u sharing   %u connections carried", result.hostsSharing,
                        result.connectionsCarried);
    case RelayProbeResult::State::NotARelay:
      return L"answered, but not as a relay";
    case RelayProbeResult::State::Unreachable:
    default:
      return L"cannot be reached";
  }
}

}  // namespace tvx
