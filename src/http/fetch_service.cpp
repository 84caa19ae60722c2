// The network thread: one libcurl multi handle, every easy handle created, driven and closed
// here. The caller's thread only queues work (start, abort) under the mutex and wakes the
// thread with curl_multi_wakeup; what a fetch learns comes back as posts in the same mutex.
#include "http/fetch_service.h"

#include "http/request_text.h"

#include <curl/curl.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

namespace quendrix::http {
namespace {

// A response whose raw header block is longer than this ends the fetch as a failure.
constexpr std::size_t kMaxHeadLength = 2048;
// A body stops here (the page is skipped): a server that streams forever cannot exhaust
// memory or hold a slot.
constexpr std::size_t kMaxBodyLength = std::size_t{32} * 1024 * 1024;
// Redirects followed within one request, as a browser's client does.
constexpr long kMaxRedirects = 10;

// Why the transfer was stopped from inside a callback, or what its head decided.
enum class Verdict { Go, AuthRound, Skip, Fail };

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = ' ';
        }
    }
    return text;
}

long StatusOf(CURL* easy) {
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

}  // namespace

struct FetchService::State {
    struct Transfer {
        State* owner = nullptr;
        FetchId id = 0;
        FetchRequest request;
        CURL* easy = nullptr;
        curl_slist* headers = nullptr;
        curl_slist* proxyHeaders = nullptr;
        // The authentication round: made once per fetch, for a first 401 or 407.
        bool authAnswered = false;
        // Per request (reset for the authentication round).
        std::string head;
        bool headTooLong = false;
        bool headComplete = false;
        bool decided = false;
        Verdict verdict = Verdict::Go;
        bool capped = false;
        long long contentLength = 0;
        std::string body;
        std::uint64_t bytes = 0;
        std::uint64_t chunks = 0;
    };

    // Shared with the caller's thread.
    std::mutex mutex;
    std::condition_variable postedChanged;
    std::vector<FetchPost> posted;
    std::vector<std::pair<FetchId, FetchRequest>> toStart;
    std::vector<FetchId> toAbort;
    long maxHostConnections = 0;
    bool maxHostChanged = false;
    bool quitting = false;
    FetchId next = 1;

    // The network thread's own.
    CURLM* multi = nullptr;
    std::map<FetchId, std::unique_ptr<Transfer>> transfers;
    std::thread thread;  // last: it uses the members above

    void post(FetchPost item) {
        {
            std::lock_guard lock(mutex);
            posted.push_back(std::move(item));
        }
        postedChanged.notify_all();
    }

    void run();
    void begin(FetchId id, FetchRequest request);
    bool configure(Transfer& transfer);
    void resetForRequest(Transfer& transfer);
    Verdict decide(Transfer& transfer);
    void completed(Transfer& transfer, CURLcode result);
    void authRound(Transfer& transfer, bool proxy);
    void finish(Transfer& transfer, bool succeeded, bool skipped);
    void close(Transfer& transfer);

    // libcurl's callbacks: nothing may be thrown through libcurl, so a failure to store (no
    // memory) ends the fetch as a plain failure.
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user);
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user);
    static std::size_t takeHeader(char* data, std::size_t size, std::size_t count, void* user);
    static std::size_t takeBody(char* data, std::size_t size, std::size_t count, void* user);
};

void FetchService::State::run() {
    for (;;) {
        std::vector<std::pair<FetchId, FetchRequest>> starting;
        std::vector<FetchId> aborting;
        long hostLimit = -1;
        {
            std::lock_guard lock(mutex);
            if (quitting) {
                break;
            }
            starting.swap(toStart);
            aborting.swap(toAbort);
            if (maxHostChanged) {
                hostLimit = maxHostConnections;
                maxHostChanged = false;
            }
        }
        if (hostLimit >= 0) {
            curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, hostLimit);
        }
        // Starts first: an abort always follows the start of its fetch.
        for (auto& [id, request] : starting) {
            begin(id, std::move(request));
        }
        for (const FetchId id : aborting) {
            // An end posted already keeps its outcome: the fetch is gone from the table.
            if (const auto found = transfers.find(id); found != transfers.end()) {
                finish(*found->second, false, true);
            }
        }
        int running = 0;
        curl_multi_perform(multi, &running);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg != CURLMSG_DONE) {
                continue;
            }
            Transfer* transfer = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
            // The message is invalid once its handle is removed: take the result first.
            const CURLcode result = message->data.result;
            if (transfer != nullptr) {
                completed(*transfer, result);
            }
        }
        curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    // Abandon everything: no ends are posted, nobody takes them any more. With quick exit set
    // on every handle, a look-up still running is left to its resolver thread, not waited for.
    while (!transfers.empty()) {
        close(*transfers.begin()->second);
    }
}

void FetchService::State::begin(FetchId id, FetchRequest request) {
    auto owned = std::make_unique<Transfer>();
    Transfer& transfer = *owned;
    transfer.owner = this;
    transfer.id = id;
    transfer.request = std::move(request);
    transfer.easy = curl_easy_init();
    transfers.emplace(id, std::move(owned));
    if (transfer.easy == nullptr || !configure(transfer) ||
        curl_multi_add_handle(multi, transfer.easy) != CURLM_OK) {
        finish(transfer, false, false);
    }
}

bool FetchService::State::configure(Transfer& transfer) {
    CURL* easy = transfer.easy;
    const FetchRequest& request = transfer.request;
    // Headers libcurl would add on its own that the request does not carry: an empty value
    // removes one.
    for (const char* header : {"Accept:", "Proxy-Connection:"}) {
        curl_slist* longer = curl_slist_append(transfer.headers, header);
        if (longer == nullptr) {
            return false;
        }
        transfer.headers = longer;
    }
    transfer.proxyHeaders = curl_slist_append(nullptr, "Proxy-Connection:");
    if (transfer.proxyHeaders == nullptr) {
        return false;
    }
    // A header value never ends its line early: a control character in the settings or in a
    // page's address becomes a blank.
    const std::string agent = OneLine(request.agent);
    const std::string referrer = OneLine(request.referrer);
    const std::string url = EscapeForRequest(request.url);
    bool ok = curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_PRIVATE, &transfer) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    // A transfer in name resolution is abandoned, never waited for.
    ok = ok && curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer.headers) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_PROXYHEADER, transfer.proxyHeaders) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str()) == CURLE_OK;
    if (!referrer.empty()) {
        ok = ok && curl_easy_setopt(easy, CURLOPT_REFERER, referrer.c_str()) == CURLE_OK;
    }
    // Credentials are sent only as written in the address until a 401 or 407 asks for more.
    ok = ok && curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_BASIC) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_PROXYAUTH, CURLAUTH_BASIC) == CURLE_OK;
    switch (request.proxy) {
        case ProxyMode::Direct:
            ok = ok && curl_easy_setopt(easy, CURLOPT_PROXY, "") == CURLE_OK;
            break;
        case ProxyMode::Named: {
            const std::string proxy =
                request.proxyAddress + ":" + std::to_string(request.proxyPort);
            ok = ok && curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str()) == CURLE_OK;
            // No bypass list: every address goes through the named proxy.
            ok = ok && curl_easy_setopt(easy, CURLOPT_NOPROXY, "") == CURLE_OK;
            break;
        }
        case ProxyMode::Default:
            // libcurl's own behaviour: http_proxy, https_proxy, all_proxy and no_proxy from
            // the environment.
            break;
    }
    ok = ok && curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &State::onHeader) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &State::onBody) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer) == CURLE_OK;
    return ok;
}

void FetchService::State::resetForRequest(Transfer& transfer) {
    transfer.head.clear();
    transfer.headTooLong = false;
    transfer.headComplete = false;
    transfer.decided = false;
    transfer.verdict = Verdict::Go;
    transfer.capped = false;
    transfer.contentLength = 0;
    transfer.body.clear();
    transfer.bytes = 0;
    transfer.chunks = 0;
}

std::size_t FetchService::State::takeHeader(char* data, std::size_t size, std::size_t count,
                                            void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::size_t length = size * count;
    std::string_view line(data, length);
    // Every response (a redirect, the proxy's answer to CONNECT, an interim 1xx) starts a new
    // block: the head is the last response's.
    if (line.size() >= 5 && line.substr(0, 5) == "HTTP/") {
        transfer.head.clear();
        transfer.headTooLong = false;
        transfer.headComplete = false;
    }
    if (transfer.headComplete) {
        // Trailers of a chunked body are not part of the head.
        return length;
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    transfer.headComplete = line.empty();
    if (!transfer.headTooLong) {
        if (transfer.head.size() + line.size() + 2 > kMaxHeadLength) {
            transfer.headTooLong = true;
            transfer.head.clear();
        } else {
            transfer.head.append(line);
            transfer.head.append("\r\n");
        }
    }
    return length;
}

std::size_t FetchService::State::onHeader(char* data, std::size_t size, std::size_t count,
                                          void* user) {
    try {
        return takeHeader(data, size, count, user);
    } catch (...) {
        auto& transfer = *static_cast<Transfer*>(user);
        transfer.decided = true;
        transfer.verdict = Verdict::Fail;
        return 0;
    }
}

std::size_t FetchService::State::onBody(char* data, std::size_t size, std::size_t count,
                                        void* user) {
    try {
        return takeBody(data, size, count, user);
    } catch (...) {
        auto& transfer = *static_cast<Transfer*>(user);
        transfer.decided = true;
        transfer.verdict = Verdict::Fail;
        return CURL_WRITEFUNC_ERROR;
    }
}

Verdict FetchService::State::decide(Transfer& transfer) {
    const long status = StatusOf(transfer.easy);
    if (status == 401 || status == 407) {
        return transfer.authAnswered ? Verdict::Fail : Verdict::AuthRound;
    }
    if (transfer.headTooLong) {
        return Verdict::Fail;
    }
    const auto contentType = HeaderValue(transfer.head, "Content-Type");
    if (!contentType) {
        return Verdict::Fail;
    }
    if (contentType->find("text/html") == std::string::npos) {
        return Verdict::Skip;
    }
    transfer.contentLength = ContentLengthOf(transfer.head);
    // The head decision: the scanner's HtmlOnly refuses a type without "htm" (after the
    // text/html test above it never does, but the rule stays where the scanner expects it).
    if (transfer.request.htmlOnly && contentType->find("htm") == std::string::npos) {
        return Verdict::Skip;
    }
    return Verdict::Go;
}

std::size_t FetchService::State::takeBody(char* data, std::size_t size, std::size_t count,
                                          void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::size_t length = size * count;
    if (!transfer.decided) {
        transfer.decided = true;
        transfer.verdict = transfer.owner->decide(transfer);
    }
    if (transfer.verdict != Verdict::Go) {
        return CURL_WRITEFUNC_ERROR;
    }
    // Kept or not, a body stops at the cap: a server that streams forever neither exhausts
    // memory nor holds a slot (its alive posts would keep the deadline away for ever).
    if (transfer.bytes + length > kMaxBodyLength) {
        transfer.capped = true;
        return CURL_WRITEFUNC_ERROR;
    }
    if (transfer.request.keepBody) {
        if (transfer.body.empty() && transfer.contentLength > 0) {
            transfer.body.reserve(static_cast<std::size_t>(
                std::min<long long>(transfer.contentLength, kMaxBodyLength)));
        }
        transfer.body.append(data, length);
    }
    transfer.bytes += length;
    if (++transfer.chunks % 10 == 0) {
        FetchPost alive;
        alive.id = transfer.id;
        alive.kind = FetchPost::Kind::Alive;
        transfer.owner->post(std::move(alive));
    }
    return length;
}

void FetchService::State::completed(Transfer& transfer, CURLcode result) {
    if (!transfer.decided && result == CURLE_OK) {
        transfer.decided = true;
        transfer.verdict = decide(transfer);
    }
    if (transfer.capped) {
        // A page larger than the cap is not analysed and not tried again.
        finish(transfer, false, true);
        return;
    }
    if (transfer.decided) {
        switch (transfer.verdict) {
            case Verdict::AuthRound:
                authRound(transfer, StatusOf(transfer.easy) == 407);
                return;
            case Verdict::Skip:
                finish(transfer, false, true);
                return;
            case Verdict::Fail:
                finish(transfer, false, false);
                return;
            case Verdict::Go:
                break;
        }
    }
    if (result != CURLE_OK) {
        // A proxy that refuses to open a tunnel (https through a named proxy) without its
        // credentials: the same round as a 407 to a plain request.
        long connectCode = 0;
        curl_easy_getinfo(transfer.easy, CURLINFO_HTTP_CONNECTCODE, &connectCode);
        if (!transfer.decided && connectCode == 407 && !transfer.authAnswered) {
            authRound(transfer, true);
            return;
        }
        // Network errors, a redirect loop, a read error.
        finish(transfer, false, false);
        return;
    }
    // A kept body must hold at least one byte.
    const bool succeeded = !transfer.request.keepBody || transfer.bytes > 0;
    finish(transfer, succeeded, false);
}

void FetchService::State::authRound(Transfer& transfer, bool proxy) {
    const FetchRequest& request = transfer.request;
    const std::string& user = proxy ? request.proxyUser : request.userName;
    const std::string& password = proxy ? request.proxyPassword : request.password;
    transfer.authAnswered = true;
    if (user.empty() && password.empty()) {
        // Nothing to answer with: asking again would only be refused again.
        finish(transfer, false, false);
        return;
    }
    // Asked again where the answer came from (after redirects: the last address), with the
    // credentials sent at once (Basic).
    const char* last = nullptr;
    curl_easy_getinfo(transfer.easy, CURLINFO_EFFECTIVE_URL, &last);
    const std::string address = last != nullptr ? last : EscapeForRequest(request.url);
    curl_multi_remove_handle(multi, transfer.easy);
    CURL* easy = transfer.easy;
    const bool ok = curl_easy_setopt(easy, CURLOPT_URL, address.c_str()) == CURLE_OK &&
                    curl_easy_setopt(easy, proxy ? CURLOPT_PROXYUSERNAME : CURLOPT_USERNAME,
                                     user.c_str()) == CURLE_OK &&
                    curl_easy_setopt(easy, proxy ? CURLOPT_PROXYPASSWORD : CURLOPT_PASSWORD,
                                     password.c_str()) == CURLE_OK;
    resetForRequest(transfer);
    if (!ok || curl_multi_add_handle(multi, easy) != CURLM_OK) {
        finish(transfer, false, false);
    }
}

void FetchService::State::finish(Transfer& transfer, bool succeeded, bool skipped) {
    FetchPost end;
    end.id = transfer.id;
    end.kind = FetchPost::Kind::End;
    end.succeeded = succeeded;
    end.skipped = skipped;
    if (transfer.easy != nullptr) {
        long status = StatusOf(transfer.easy);
        if (status == 0) {
            // A proxy's refusal to open a tunnel.
            curl_easy_getinfo(transfer.easy, CURLINFO_HTTP_CONNECTCODE, &status);
        }
        end.statusCode = static_cast<int>(status);
    }
    if (transfer.decided && transfer.verdict == Verdict::Go) {
        end.head = std::move(transfer.head);
        end.contentLength = transfer.contentLength;
    }
    if (succeeded) {
        end.body = std::move(transfer.body);
        if (transfer.request.analyse) {
            // Nothing may escape into the network thread: an analysis that throws makes the
            // fetch a plain failure (tried again, like any other).
            try {
                end.analysis = transfer.request.analyse(end.body);
            } catch (...) {
                end.succeeded = false;
                end.body.clear();
            }
        }
    }
    close(transfer);
    post(std::move(end));
}

void FetchService::State::close(Transfer& transfer) {
    const FetchId id = transfer.id;
    if (transfer.easy != nullptr) {
        curl_multi_remove_handle(multi, transfer.easy);
        curl_easy_cleanup(transfer.easy);
        transfer.easy = nullptr;
    }
    curl_slist_free_all(transfer.headers);
    curl_slist_free_all(transfer.proxyHeaders);
    transfers.erase(id);
}

FetchService::FetchService() : m_state(std::make_unique<State>()) {
    m_state->multi = curl_multi_init();
    if (m_state->multi == nullptr) {
        // libcurl fails here only when it cannot allocate.
        throw std::bad_alloc();
    }
    m_state->thread = std::thread([state = m_state.get()] { state->run(); });
}

FetchService::~FetchService() {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->quitting = true;
    }
    curl_multi_wakeup(m_state->multi);
    m_state->thread.join();
    curl_multi_cleanup(m_state->multi);
}

FetchId FetchService::start(FetchRequest request) {
    FetchId id = 0;
    {
        std::lock_guard lock(m_state->mutex);
        id = m_state->next++;
        m_state->toStart.emplace_back(id, std::move(request));
    }
    curl_multi_wakeup(m_state->multi);
    return id;
}

void FetchService::abort(FetchId id) {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->toAbort.push_back(id);
    }
    curl_multi_wakeup(m_state->multi);
}

void FetchService::setMaxHostConnections(long limit) {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->maxHostConnections = limit;
        m_state->maxHostChanged = true;
    }
    curl_multi_wakeup(m_state->multi);
}

std::vector<FetchPost> FetchService::takePosted() {
    std::lock_guard lock(m_state->mutex);
    return std::exchange(m_state->posted, {});
}

bool FetchService::waitForPosted(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_state->mutex);
    return m_state->postedChanged.wait_for(lock, timeout,
                                           [&] { return m_state->posted.size() >= count; });
}

void GlobalInit() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

}  // namespace quendrix::http
