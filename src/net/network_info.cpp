#include "net/network_info.h"

namespace quendrix::net {

// Stand-ins until the readers land: nothing known, nothing failed.
Result<NetworkParams> ReadNetworkParams(const NetworkInfoSources&) {
    return NetworkParams{};
}

Result<std::vector<AdapterInfo>> ReadAdapters(const NetworkInfoSources&) {
    return std::vector<AdapterInfo>{};
}

}  // namespace quendrix::net
