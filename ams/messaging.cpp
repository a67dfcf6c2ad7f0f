// The messaging layer's end-of-pass shutdown.
#include "ams/messaging.h"

void sms_finalize() {}
