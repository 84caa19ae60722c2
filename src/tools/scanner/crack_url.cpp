// Placeholder until URL handling lands.
#include "tools/scanner/crack_url.h"

namespace quendrix {

bool TCrackUrl::Crack(std::string address) {
    *this = TCrackUrl();
    Url = std::move(address);
    return Valid;
}

}  // namespace quendrix
