#pragma once
// Starting the loopback fake server from a test, and a port that refuses.
#include <gtest/gtest.h>

#include <memory>

#include "inet/InetUtil.h"
#include "platform/WinApi.h"
#include "tools/fakeserver/FakeServer.h"

inline std::unique_ptr<TFakeServer> StartFakeServer() {
  auto server = std::make_unique<TFakeServer>();
  EXPECT_TRUE(server->Start(0)) << "the fake server could not listen on 127.0.0.1";
  return server;
}

// A loopback port nobody listens on: bound once to learn a free number, then closed.
inline uint16_t ClosedLoopbackPort() {
  TFakeServer probe;
  if (!probe.Start(0)) return 9;
  uint16_t port = probe.Port();
  probe.Stop();
  return port;
}

// A route whose body comes after a delay, never, or in one of the hostile modes.
inline TFakeRoute FakeRoute(TFakeMode mode, const std::string& body = std::string()) {
  TFakeRoute route;
  route.Mode = mode;
  route.Body = body;
  return route;
}
