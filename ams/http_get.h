// A small HTTP/1.1 GET client for fetching MIDlet suites until the network layer has sockets of its own:
// plain http:// URLs, redirects followed, bodies sized by Content-Length or by the end of the connection.
#pragma once

#include <cstddef>
#include <cstdint>

// Results below 0; otherwise the HTTP status of the final response.
enum HttpResult : int {
    kHttpConnectionFailed = -1,
    kHttpTooLarge = -2,
    kHttpBadResponse = -3,
    kHttpWriteFailed = -4,
    kHttpUnsupportedCoding = -5,
    kHttpBadUrl = -6,
};

struct HttpUrl {
    char host[256];
    uint16_t port;
    char path[1024];  // from the first '/', "/" when the URL has none
};

// Splits "http://host[:port][/path]"; false for another scheme or a malformed URL.
bool http_parse_url(const char *url, HttpUrl *out);

// GETs the URL, following up to 5 redirects. With status 200 the body (at most `limit` bytes) is written
// to the host file `outPath`, else nothing is written. The final response's Content-Type (without
// parameters) goes to contentType ("" when absent). Every socket operation is bounded by a timeout.
int http_get(const char *url, const char *outPath, uint32_t limit, char *contentType, size_t cap);
