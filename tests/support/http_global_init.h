// libcurl's global start, once, before any test starts a thread: included by every test
// program that links the HTTP library (the shared test mains stay free of libcurl). The
// machine's proxy settings are dropped first: every fetch of a test goes to a loopback fixture,
// and a test that wants a proxy from the environment sets it itself.
#pragma once

#include "http/fetch_service.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace quendrix::test {

class HttpGlobalInit : public ::testing::Environment {
  public:
    void SetUp() override {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                 "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
            unsetenv(name);
        }
        http::GlobalInit();
    }
};

inline ::testing::Environment* const kHttpGlobalInit =
    ::testing::AddGlobalTestEnvironment(new HttpGlobalInit);

}  // namespace quendrix::test
