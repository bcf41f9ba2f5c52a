#pragma once
// The shell tests: the two loopback fake servers the test build of Orvanta.exe
// talks to, and a fixture that starts every test from no settings.
#include <gtest/gtest.h>

#include "support/OrvantaProcess.h"
#include "tools/fakeserver/FakeServer.h"

namespace shelltest {

// One server per host for the whole test process, on the fixed ports.
struct TServers : ::testing::Environment {
  TFakeServer Counter, Maker;
  void SetUp() override {
    if (!COUNTER_PORT || !MAKER_PORT) GTEST_SKIP() << "Orvanta.exe was not built for loopback hosts";
    for (TFakeServer* s : {&Counter, &Maker}) s->ReuseAddress = true;
    ASSERT_TRUE(Counter.Start(COUNTER_PORT)) << "port " << COUNTER_PORT << " is taken";
    ASSERT_TRUE(Maker.Start(MAKER_PORT)) << "port " << MAKER_PORT << " is taken";
  }
  void TearDown() override {
    Counter.Stop();
    Maker.Stop();
  }
};
inline TServers* const Servers = static_cast<TServers*>(::testing::AddGlobalTestEnvironment(new TServers));

inline size_t RequestsFor(const TFakeServer& server, const std::string& path) {
  size_t n = 0;
  for (const TFakeRequest& r : server.Requests()) n += r.Path == path;
  return n;
}

// Every test starts from no settings and fresh server records.
class ShellTest : public ::testing::Test {
protected:
  void SetUp() override {
    DeleteSettings();
    Servers->Counter.ClearRequests();
    Servers->Maker.ClearRequests();
    Servers->Counter.SetRoute(PING_PATH, TFakeRoute());
    Servers->Maker.SetRoute(VERSION_PATH, TFakeRoute());
  }
  TFakeServer& Counter() { return Servers->Counter; }
  TFakeServer& Maker() { return Servers->Maker; }
};

}  // namespace shelltest
