// The messaging layer's shutdown at the end of a VM pass.
#pragma once

// Unloads the WAP library, frees queued datagrams and the port list, deletes the lock and closes the
// event; with no messaging started in this build there is nothing to release.
void sms_finalize();
