// libcurl's global start, once, before any test starts a thread: included by every test
// program that links the HTTP library (the shared test mains stay free of libcurl).
#pragma once

#include "http/fetch_service.h"

#include <gtest/gtest.h>

namespace quendrix::test {

class HttpGlobalInit : public ::testing::Environment {
  public:
    void SetUp() override { http::GlobalInit(); }
};

inline ::testing::Environment* const kHttpGlobalInit =
    ::testing::AddGlobalTestEnvironment(new HttpGlobalInit);

}  // namespace quendrix::test
