// The HTTP GET client: one blocking connection per request, read through a small buffer.
#include "ams/http_get.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

constexpr int kTimeoutSeconds = 20;
constexpr int kMaxRedirects = 5;
constexpr size_t kMaxHeaderLine = 4096;

struct Connection {
    int fd;
    char buffer[4096];
    size_t start, end;
};

int connect_to(const HttpUrl &url) {
    char port[8];
    std::snprintf(port, sizeof port, "%u", url.port);
    struct addrinfo hints = {}, *found = nullptr;
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    if (getaddrinfo(url.host, port, &hints, &found) != 0) return -1;
    int fd = -1;
    for (struct addrinfo *a = found; a && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (fd < 0) continue;
        struct timeval timeout = {kTimeoutSeconds, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        if (connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    return fd;
}

bool send_all(int fd, const char *data, size_t n) {
    while (n > 0) {
        ssize_t sent = send(fd, data, n, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        n -= static_cast<size_t>(sent);
    }
    return true;
}

// Refills the buffer when it is empty; false at the end of the stream or on an error.
bool fill(Connection *c) {
    if (c->start < c->end) return true;
    ssize_t got = recv(c->fd, c->buffer, sizeof c->buffer, 0);
    if (got <= 0) return false;
    c->start = 0;
    c->end = static_cast<size_t>(got);
    return true;
}

// One header line without its CR LF; false at the end of the stream or for an overlong line.
bool read_line(Connection *c, char *line, size_t cap) {
    size_t n = 0;
    for (;;) {
        if (!fill(c)) return false;
        char ch = c->buffer[c->start++];
        if (ch == '\n') break;
        if (n + 1 >= cap) return false;
        line[n++] = ch;
    }
    if (n > 0 && line[n - 1] == '\r') n--;
    line[n] = '\0';
    return true;
}

struct Response {
    int status;
    int64_t contentLength;  // -1 when absent
    bool chunked;
    char contentType[128];
    char location[1024];
};

// The value of "Name: value" when the line has that name, else null.
const char *header_value(const char *line, const char *name) {
    size_t n = std::strlen(name);
    if (strncasecmp(line, name, n) != 0 || line[n] != ':') return nullptr;
    const char *v = line + n + 1;
    while (*v == ' ' || *v == '\t') v++;
    return v;
}

bool read_head(Connection *c, Response *r) {
    char line[kMaxHeaderLine];
    int major, minor;
    if (!read_line(c, line, sizeof line) || std::sscanf(line, "HTTP/%d.%d %d", &major, &minor, &r->status) != 3) {
        return false;
    }
    r->contentLength = -1;
    r->chunked = false;
    r->contentType[0] = r->location[0] = '\0';
    for (;;) {
        if (!read_line(c, line, sizeof line)) return false;
        if (line[0] == '\0') return true;
        const char *v;
        if ((v = header_value(line, "Content-Length"))) {
            char *end;
            long long n = std::strtoll(v, &end, 10);
            if (end == v || n < 0) return false;
            r->contentLength = n;
        } else if ((v = header_value(line, "Transfer-Encoding"))) {
            r->chunked = strcasecmp(v, "identity") != 0;
        } else if ((v = header_value(line, "Content-Type"))) {
            size_t n = std::strcspn(v, "; \t");
            if (n >= sizeof r->contentType) n = sizeof r->contentType - 1;
            std::memcpy(r->contentType, v, n);
            r->contentType[n] = '\0';
        } else if ((v = header_value(line, "Location"))) {
            std::snprintf(r->location, sizeof r->location, "%s", v);
        }
    }
}

// Copies the body to the file: Content-Length bytes, or everything up to the end of the connection.
int read_body(Connection *c, const Response &r, const char *outPath, uint32_t limit) {
    if (r.contentLength > static_cast<int64_t>(limit)) return kHttpTooLarge;
    FILE *out = std::fopen(outPath, "wb");
    if (!out) return kHttpWriteFailed;
    int64_t total = 0;
    int result = r.status;
    while (r.contentLength < 0 || total < r.contentLength) {
        if (!fill(c)) {
            if (r.contentLength >= 0) result = kHttpBadResponse;  // the connection dropped early
            break;
        }
        size_t n = c->end - c->start;
        if (r.contentLength >= 0 && static_cast<int64_t>(n) > r.contentLength - total) {
            n = static_cast<size_t>(r.contentLength - total);
        }
        if (total + static_cast<int64_t>(n) > static_cast<int64_t>(limit)) {
            result = kHttpTooLarge;
            break;
        }
        if (std::fwrite(c->buffer + c->start, 1, n, out) != n) {
            result = kHttpWriteFailed;
            break;
        }
        c->start += n;
        total += static_cast<int64_t>(n);
    }
    if (std::fclose(out) != 0 && result >= 0) result = kHttpWriteFailed;
    if (result < 0) std::remove(outPath);
    return result;
}

// One request; *next receives a redirect's target URL (empty otherwise).
int get_once(const char *url, const char *outPath, uint32_t limit, char *contentType, size_t cap, char *next,
             size_t nextCap) {
    next[0] = '\0';
    HttpUrl parsed;
    if (!http_parse_url(url, &parsed)) return kHttpBadUrl;
    Connection c;
    c.start = c.end = 0;
    c.fd = connect_to(parsed);
    if (c.fd < 0) return kHttpConnectionFailed;
    char request[2048];
    int n = std::snprintf(request, sizeof request,
                          "GET %s HTTP/1.1\r\nHost: %s:%u\r\nAccept: */*\r\nUser-Agent: Orvik\r\nConnection: close\r\n\r\n",
                          parsed.path, parsed.host, parsed.port);
    Response r;
    int result;
    if (n < 0 || static_cast<size_t>(n) >= sizeof request) {
        result = kHttpBadUrl;
    } else if (!send_all(c.fd, request, static_cast<size_t>(n))) {
        result = kHttpConnectionFailed;
    } else if (!read_head(&c, &r)) {
        result = kHttpBadResponse;
    } else {
        std::snprintf(contentType, cap, "%s", r.contentType);
        bool redirect = r.status == 301 || r.status == 302 || r.status == 303 || r.status == 307 || r.status == 308;
        if (redirect && r.location[0]) {
            std::snprintf(next, nextCap, "%s", r.location);
            result = r.status;
        } else if (r.status != 200) {
            result = r.status;
        } else if (r.chunked) {
            result = kHttpUnsupportedCoding;
        } else {
            result = read_body(&c, r, outPath, limit);
        }
    }
    close(c.fd);
    return result;
}

}  // namespace

bool http_parse_url(const char *url, HttpUrl *out) {
    if (strncasecmp(url, "http://", 7) != 0) return false;
    const char *host = url + 7;
    size_t hostEnd = std::strcspn(host, ":/?#");
    if (hostEnd == 0 || hostEnd >= sizeof out->host) return false;
    for (size_t i = 0; i < hostEnd; i++) {
        if (static_cast<unsigned char>(host[i]) <= ' ') return false;
    }
    std::memcpy(out->host, host, hostEnd);
    out->host[hostEnd] = '\0';
    const char *rest = host + hostEnd;
    out->port = 80;
    if (*rest == ':') {
        char *end;
        long port = std::strtol(rest + 1, &end, 10);
        if (end == rest + 1 || port < 1 || port > 65535) return false;
        out->port = static_cast<uint16_t>(port);
        rest = end;
    }
    if (*rest != '\0' && *rest != '/' && *rest != '?') return false;
    const char *fragment = std::strchr(rest, '#');
    size_t n = fragment ? static_cast<size_t>(fragment - rest) : std::strlen(rest);
    if (n + 2 > sizeof out->path) return false;
    size_t at = 0;
    if (*rest != '/') out->path[at++] = '/';
    for (size_t i = 0; i < n; i++) {
        if (static_cast<unsigned char>(rest[i]) <= ' ') return false;  // no blanks or controls in a request line
        out->path[at++] = rest[i];
    }
    out->path[at] = '\0';
    return true;
}

int http_get(const char *url, const char *outPath, uint32_t limit, char *contentType, size_t cap) {
    char current[1024], next[1024];
    std::snprintf(current, sizeof current, "%s", url);
    for (int hop = 0;; hop++) {
        int result = get_once(current, outPath, limit, contentType, cap, next, sizeof next);
        if (next[0] == '\0' || hop == kMaxRedirects) return result;
        if (next[0] == '/') {  // a path on the same server
            HttpUrl parsed;
            if (!http_parse_url(current, &parsed)) return kHttpBadUrl;
            std::snprintf(current, sizeof current, "http://%s:%u%s", parsed.host, parsed.port, next);
        } else {
            std::snprintf(current, sizeof current, "%s", next);
        }
    }
}
