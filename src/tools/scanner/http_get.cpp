// The download slot: starts one fetch at a time on the scheduler's network thread and takes in
// what that fetch posts. Everything here runs on the scheduler's (user-interface) thread.
#include "tools/scanner/http_get.h"

#include <utility>

namespace quendrix {
namespace {

http::ProxyMode ModeOf(TProxyType type) {
    switch (type) {
        case PROXY_DIRECT:
            return http::ProxyMode::Direct;
        case PROXY_USEPROXY:
            return http::ProxyMode::Named;
        case PROXY_DEFAULT:
            break;
    }
    return http::ProxyMode::Default;
}

}  // namespace

TMFHttpGet::~TMFHttpGet() {
    if (Running) {
        m_service.abort(m_fetch);
    }
}

void TMFHttpGet::StartFetch(std::uint32_t now) {
    if (!Url.Valid) {
        SlotState = TSlotState::Idle;
        return;
    }
    SlotState = TSlotState::Downloading;
    Succeeded = false;
    Skipped = false;
    if (Running) {
        return;
    }
    Running = true;
    Deadline = now + static_cast<std::uint32_t>(TimeOutMs);
    ContentLength = 0;
    AbortRequested = false;
    Active = true;

    http::FetchRequest request;
    request.url = Url.GetUrl();
    request.agent = Agent;
    request.referrer = Referrer;
    request.userName = UserName;
    request.password = Password;
    request.proxy = ModeOf(ProxyType);
    request.proxyAddress = ProxyAddress;
    request.proxyPort = ProxyPort;
    request.proxyUser = ProxyUser;
    request.proxyPassword = ProxyPassword;
    request.keepBody = KeepBody;
    request.htmlOnly = HtmlOnly;
    request.analyse = Analyse;
    m_fetch = m_service.start(std::move(request));
}

void TMFHttpGet::Abort() {
    AbortRequested = true;
    if (Running) {
        // Late reports of this fetch are no longer passed on; its end comes through takeIn.
        Active = false;
        m_service.abort(m_fetch);
    }
}

void TMFHttpGet::Reap() {
    Running = false;
}

void TMFHttpGet::takeIn(http::FetchPost&& post, std::uint32_t now) {
    if (post.id == 0 || post.id != m_fetch) {
        return;
    }
    if (post.kind == http::FetchPost::Kind::Alive) {
        Deadline = now + static_cast<std::uint32_t>(TimeOutMs);
        return;
    }
    StatusCode = post.statusCode;
    Head = std::move(post.head);
    ContentLength = post.contentLength;
    Body = std::move(post.body);
    Analysis = std::move(post.analysis);
    Succeeded = post.succeeded;
    Skipped = post.skipped;
    Running = false;
    SlotState = TSlotState::Finished;
    // The fetch has handed over its end: nothing more comes from it.
    m_fetch = 0;
}

}  // namespace quendrix
