// The frames the relay writes, as whole byte strings (header and payload) ready to send.
#pragma once

#include <cstdint>
#include <string>

#include "net/message_types.h"

namespace tvx::relay {

Bytes MakeRegistered();
Bytes MakeRelayRefusal(const std::string& reason);
Bytes MakeTicket(std::uint64_t ticket);
Bytes MakeNotSharingRefusal();
Bytes MakeStatusAnswer(std::uint32_t hostsSharing, std::uint32_t connectionsCarried);

}  // namespace tvx::relay
