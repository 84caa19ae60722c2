// Placeholder until the page fetch lands.
#include "tools/scanner/http_get.h"

namespace quendrix {

TMFHttpGet::~TMFHttpGet() = default;
void TMFHttpGet::StartFetch(std::uint32_t) {}
void TMFHttpGet::Abort() {}
void TMFHttpGet::Reap() {}
void TMFHttpGet::takeIn(http::FetchPost&&, std::uint32_t) {}

}  // namespace quendrix
