// The HTTP fixture of the tests: reading a request head, matching it to its script, answering.
#include "support/http_fixture.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace quendrix::test {
namespace {

constexpr std::size_t kHeadLimit = 64 * 1024;

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 204:
            return "No Content";
        case 206:
            return "Partial Content";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 303:
            return "See Other";
        case 304:
            return "Not Modified";
        case 307:
            return "Temporary Redirect";
        case 308:
            return "Permanent Redirect";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 407:
            return "Proxy Authentication Required";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

std::string StatusLine(int status) {
    return "HTTP/1.0 " + std::to_string(status) + " " + Reason(status) + "\r\n";
}

bool SameLetters(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The target in origin form without its fragment: "/a?x=1" from "/a?x=1#f" or from
// "http://host:port/a?x=1".
std::string OriginForm(const std::string& target) {
    std::string origin = target;
    const auto scheme = origin.find("://");
    if (!origin.empty() && origin.front() != '/' && scheme != std::string::npos) {
        const auto slash = origin.find_first_of("/?#", scheme + 3);
        origin = slash == std::string::npos ? "/" : origin.substr(slash);
        if (origin.front() != '/') {
            origin.insert(0, "/");
        }
    }
    return origin.substr(0, origin.find('#'));
}

// Splits a complete head into the request's fields; false when its first line is no request
// line.
bool Parse(const std::string& head, HttpRequest& request) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < head.size()) {
        auto end = head.find('\n', start);
        if (end == std::string::npos) {
            end = head.size();
        }
        std::string line = head.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    while (!lines.empty() && lines.back().empty()) {
        lines.pop_back();
    }
    if (lines.empty()) {
        return false;
    }
    request.requestLine = lines.front();
    request.headerLines.assign(lines.begin() + 1, lines.end());
    const auto firstSpace = request.requestLine.find(' ');
    const auto lastSpace = request.requestLine.rfind(' ');
    if (firstSpace == std::string::npos || lastSpace == firstSpace) {
        return false;
    }
    request.method = request.requestLine.substr(0, firstSpace);
    request.target = request.requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    request.version = request.requestLine.substr(lastSpace + 1);
    const std::string origin = OriginForm(request.target);
    request.path = origin.substr(0, origin.find('?'));
    return !request.method.empty() && !request.target.empty() &&
           request.version.rfind("HTTP/", 0) == 0;
}

}  // namespace

HttpReply HttpReply::Raw(std::string bytes) {
    HttpReply reply;
    reply.bytes = std::move(bytes);
    return reply;
}

HttpReply HttpReply::Make(int status, const std::vector<std::string>& headerLines,
                          const std::string& body) {
    std::string bytes = StatusLine(status);
    for (const std::string& line : headerLines) {
        bytes += line + "\r\n";
    }
    return Raw(bytes + "\r\n" + body);
}

HttpReply HttpReply::Html(int status, const std::string& body) {
    return Typed(status, "text/html", body);
}

HttpReply HttpReply::Typed(int status, const std::string& contentType, const std::string& body) {
    return Make(status,
                {"Content-Type: " + contentType, "Content-Length: " + std::to_string(body.size())},
                body);
}

HttpReply HttpReply::Untyped(int status, const std::string& body) {
    return Make(status, {"Content-Length: " + std::to_string(body.size())}, body);
}

HttpReply HttpReply::PaddedHead(int status, std::size_t headLength, const std::string& body) {
    const std::string head = StatusLine(status) + "Content-Type: text/html\r\n" +
                             "Content-Length: " + std::to_string(body.size()) + "\r\n";
    const std::string padName = "X-Padding: ";
    const std::size_t fixed = head.size() + padName.size() + 2 + 2;  // its CR LF, the empty line
    if (headLength < fixed) {
        throw std::invalid_argument("HttpReply::PaddedHead: head too short for its lines");
    }
    return Raw(head + padName + std::string(headLength - fixed, 'p') + "\r\n\r\n" + body);
}

HttpReply HttpReply::Redirect(const std::string& location, int status) {
    const std::string body = "<html><a href=\"" + location + "\">moved</a></html>";
    return Make(status,
                {"Location: " + location, "Content-Type: text/html",
                 "Content-Length: " + std::to_string(body.size())},
                body);
}

HttpReply HttpReply::Never() {
    HttpReply reply;
    reply.kind = Kind::NeverAnswer;
    return reply;
}

HttpReply HttpReply::Endless() {
    HttpReply reply;
    reply.kind = Kind::EndlessBody;
    reply.bytes = StatusLine(200) + "Content-Type: text/html\r\n\r\n";
    return reply;
}

HttpReply HttpReply::after(std::chrono::milliseconds wait) const {
    HttpReply reply = *this;
    reply.delay = wait;
    return reply;
}

std::optional<std::string> HttpRequest::header(const std::string& name) const {
    for (const std::string& line : headerLines) {
        const auto colon = line.find(':');
        if (colon != std::string::npos && SameLetters(Trimmed(line.substr(0, colon)), name)) {
            return Trimmed(line.substr(colon + 1));
        }
    }
    return std::nullopt;
}

std::vector<std::string> HttpRequest::headerNames() const {
    std::vector<std::string> names;
    for (const std::string& line : headerLines) {
        names.push_back(Trimmed(line.substr(0, line.find(':'))));
    }
    return names;
}

HttpFixture::HttpFixture(const std::string& address)
    : ScriptedServer(address.c_str(), 0, Serving::Concurrently, 128), m_address(address) {
    if (!listening()) {
        throw std::runtime_error("HttpFixture: cannot listen on " + address);
    }
    start();
}

HttpFixture::~HttpFixture() {
    shutdown();
}

std::string HttpFixture::url(const std::string& path) const {
    return "http://" + hostPort() + path;
}

std::string HttpFixture::hostPort() const {
    return m_address + ":" + std::to_string(port());
}

void HttpFixture::script(const std::string& path, std::vector<HttpReply> replies) {
    if (replies.empty()) {
        throw std::invalid_argument("HttpFixture::script: no replies for " + path);
    }
    std::lock_guard lock(m_mutex);
    m_scripts[path] = std::move(replies);
    m_counts[path] = 0;
}

std::vector<HttpRequest> HttpFixture::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<HttpRequest> HttpFixture::requests(const std::string& path) const {
    std::vector<HttpRequest> matching;
    for (HttpRequest& request : requests()) {
        const std::string origin = OriginForm(request.target);
        if (request.path == path || origin == path) {
            matching.push_back(std::move(request));
        }
    }
    return matching;
}

bool HttpFixture::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

std::size_t HttpFixture::connectionsEnded() const {
    std::lock_guard lock(m_mutex);
    return m_ended;
}

bool HttpFixture::waitForConnectionsEnded(std::size_t count,
                                          std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_ended >= count; });
}

void HttpFixture::connectionEnded() {
    {
        std::lock_guard lock(m_mutex);
        ++m_ended;
    }
    m_changed.notify_all();
}

// Picks the reply and records the request, under one lock so the order of the record is the
// order of the answers.
HttpReply HttpFixture::answerFor(HttpRequest& request) {
    std::lock_guard lock(m_mutex);
    HttpReply reply = HttpReply::Html(404, "<html><body>Not Found</body></html>");
    const std::string origin = OriginForm(request.target);
    for (const std::string& key : {origin, request.path}) {
        const auto found = m_scripts.find(key);
        if (found != m_scripts.end()) {
            std::size_t& count = m_counts[key];
            request.answer = count;
            reply = found->second[std::min(count, found->second.size() - 1)];
            ++count;
            break;
        }
    }
    m_requests.push_back(request);
    m_changed.notify_all();
    return reply;
}

void HttpFixture::serve(int client) {
    std::string head;
    char buffer[4096];
    std::size_t end = std::string::npos;
    std::size_t endLength = 0;
    while (head.size() < kHeadLimit) {
        if (!waitFor(client, POLLIN)) {
            connectionEnded();
            return;
        }
        const ssize_t n = recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (n <= 0) {  // left before the head was complete: nothing to record
            connectionEnded();
            return;
        }
        const std::size_t from = head.size() >= 3 ? head.size() - 3 : 0;
        head.append(buffer, static_cast<std::size_t>(n));
        const auto crlf = head.find("\r\n\r\n", from);
        const auto lf = head.find("\n\n", from);
        if (crlf != std::string::npos && (lf == std::string::npos || crlf < lf)) {
            end = crlf;
            endLength = 4;
            break;
        }
        if (lf != std::string::npos) {
            end = lf;
            endLength = 2;
            break;
        }
    }

    HttpRequest request;
    bool good = false;
    if (end == std::string::npos) {
        request.complete = false;
        request.raw = head.substr(0, kHeadLimit);
        request.requestLine = request.raw.substr(0, request.raw.find_first_of("\r\n"));
    } else {
        request.raw = head.substr(0, end + endLength);
        good = Parse(request.raw, request);
    }
    HttpReply reply = HttpReply::Html(400, "<html><body>Bad Request</body></html>");
    if (good) {
        reply = answerFor(request);
    } else {
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
        }
        m_changed.notify_all();
    }

    bool going = reply.delay.count() <= 0 || pause(reply.delay);
    if (going) {
        switch (reply.kind) {
            case HttpReply::Kind::Bytes:
                going = sendAll(client, reply.bytes);
                break;
            case HttpReply::Kind::NeverAnswer:
                holdUntilClientLeaves(client);
                going = false;
                break;
            case HttpReply::Kind::EndlessBody: {
                going = sendAll(client, reply.bytes);
                const std::string chunk(64 * 1024, 'x');
                for (std::size_t sent = 0; going && sent < HttpReply::kEndlessLimit;
                     sent += chunk.size()) {
                    going = sendAll(client, chunk);
                }
                break;
            }
        }
    }
    if (going) {
        // A close with unread bytes would reset the connection and could cost the client the
        // reply: say the reply is complete, then read until the client closes, bounded.
        ::shutdown(client, SHUT_WR);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < until) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (waitFor(client, POLLIN, left) != Wait::Ready) {
                break;
            }
            const ssize_t n = recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                break;
            }
        }
    }
    connectionEnded();
}

}  // namespace quendrix::test
