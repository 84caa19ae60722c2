// Placeholder until the network thread lands: every fetch ends at once as a plain failure.
#include "http/fetch_service.h"

#include <curl/curl.h>

#include <condition_variable>
#include <mutex>
#include <utility>

namespace quendrix::http {

struct FetchService::State {
    std::mutex mutex;
    std::condition_variable posted;
    std::vector<FetchPost> waiting;
    FetchId next = 1;
};

FetchService::FetchService() : m_state(std::make_unique<State>()) {}
FetchService::~FetchService() = default;

FetchId FetchService::start(FetchRequest) {
    std::lock_guard lock(m_state->mutex);
    FetchPost end;
    end.id = m_state->next++;
    m_state->waiting.push_back(end);
    m_state->posted.notify_all();
    return end.id;
}

void FetchService::abort(FetchId) {}
void FetchService::setMaxHostConnections(long) {}

std::vector<FetchPost> FetchService::takePosted() {
    std::lock_guard lock(m_state->mutex);
    return std::exchange(m_state->waiting, {});
}

bool FetchService::waitForPosted(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_state->mutex);
    return m_state->posted.wait_for(lock, timeout,
                                    [&] { return m_state->waiting.size() >= count; });
}

void GlobalInit() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

}  // namespace quendrix::http
