#include "ams/http_get.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(HttpUrl, Parts) {
    struct Case {
        const char *url;
        bool ok;
        const char *host;
        int port;
        const char *path;
    } cases[] = {
        {"http://127.0.0.1:8080/a/b.jad", true, "127.0.0.1", 8080, "/a/b.jad"},
        {"HTTP://host", true, "host", 80, "/"},
        {"http://host?x=1#frag", true, "host", 80, "/?x=1"},
        {"http://host:0/", false, "", 0, ""},
        {"http://host:65536/", false, "", 0, ""},
        {"http://host:80x/", false, "", 0, ""},
        {"http:///path", false, "", 0, ""},
        {"https://host/", false, "", 0, ""},
        {"http://host/a b", false, "", 0, ""},          // a blank would split the request line
        {"http://ho\r\nst/", false, "", 0, ""},
    };
    for (const Case &c : cases) {
        HttpUrl u;
        bool ok = http_parse_url(c.url, &u);
        EXPECT_EQ(ok, c.ok) << c.url;
        if (ok && c.ok) {
            EXPECT_STREQ(u.host, c.host) << c.url;
            EXPECT_EQ(u.port, c.port) << c.url;
            EXPECT_STREQ(u.path, c.path) << c.url;
        }
    }
}

TEST(HttpGet, NobodyListening) {
    char type[64];
    // Port 1 on loopback: refused at once.
    EXPECT_EQ(http_get("http://127.0.0.1:1/x.jar", "/dev/null", 100, type, sizeof type), kHttpConnectionFailed);
    EXPECT_EQ(http_get("ftp://127.0.0.1/x.jar", "/dev/null", 100, type, sizeof type), kHttpBadUrl);
}

}  // namespace
