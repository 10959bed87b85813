// A relay server on its own thread on a loopback port, for the host's tests that go through one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "relay_server.h"

namespace tvx::testing {

// Listens on 127.0.0.1 at `port` (0: one the system picks), which can be reused after a restart.
class RunningRelay {
 public:
  explicit RunningRelay(std::uint16_t port = 0) {
    relay::RelayOptions options;
    options.bind = "127.0.0.1";
    options.port = port;
    server_ = std::make_unique<relay::RelayServer>(io_, options);
    std::string error;
    started_ = server_->Start(&error);
    thread_ = std::thread([this] { io_.run(); });
  }
  ~RunningRelay() {
    asio::post(io_, [this] { server_->Stop(); });
    thread_.join();
  }
  bool started() const { return started_; }
  std::uint16_t port() const { return server_->port(); }

 private:
  asio::io_context io_{1};
  std::unique_ptr<relay::RelayServer> server_;
  std::thread thread_;
  bool started_ = false;
};

}  // namespace tvx::testing
