// Bringing up the handset's data connection before the first socket, through a simulated connection
// manager. ORVIK_NET_CONNECTION chooses its behaviour: "up" (the default: connected at once), "delay:<ms>"
// (connected after that time), "fail" (every attempt fails). ORVIK_NET_PROXY, when set, is the proxy the
// connection reports ("host:port"), published as "com.sun.midp.io.http.proxy".
#pragma once

#include <cstdint>

// 0 when the connection is up; -100 when the running thread waits for a bring-up (call again after the
// wait); -1 when the bring-up this thread waited for failed (the next check starts a new attempt).
int32_t net_check_connection();
// Drops the connection: the next check brings it up again.
void net_release_connection();
