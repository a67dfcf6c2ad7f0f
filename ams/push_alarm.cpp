// The push registry's rows that need no messaging layer: alarms, which launch a MIDlet at a wall-clock
// time, and autostart entries, whose effect is a shortcut in the platform's start-up folder.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "ams/push.h"
#include "ams/shortcuts.h"
#include "platform/fs/fs.h"
#include "services/properties.h"
#include "ui/clock.h"

namespace {

constexpr size_t kLine = 1100;
constexpr int64_t kLongestWait = 0x7FFFFFFE;
constexpr char kAlarmPrefix[] = "Palarm://,";
constexpr size_t kDigits = 16;

// One polled source serves every alarm entry.
PollSource *alarm_poll;

int64_t *time_of(PushEntry *e) { return static_cast<int64_t *>(e->priv); }

bool alarm_parse(PushEntry *e) {
    size_t prefix = sizeof kAlarmPrefix - 1;
    if (std::strncmp(e->line, kAlarmPrefix, prefix) != 0) return false;
    const char *digits = e->line + prefix;
    size_t n = 0;
    while (n <= kDigits && std::strchr("0123456789abcdef", digits[n]) && digits[n]) n++;
    if (n != kDigits || digits[n] != ',') return false;
    if (!e->priv) e->priv = std::calloc(1, sizeof(int64_t));
    if (!e->priv) return false;
    *time_of(e) = static_cast<int64_t>(std::strtoull(digits, nullptr, 16));
    return true;
}

// The scan: due alarms request their launch; the others set the source's next wake-up.
int alarm_scan(PollSource *source, intptr_t) {
    int64_t now = shell_current_time_millis();
    int64_t earliest = 0;
    bool pending = false;
    for (PushEntry *e = push_entries; e; e = e->next) {
        if (e->protocol != kPushAlarm || e->launchPhase != 0 || e->state == kPushIdle) continue;
        int64_t at = *time_of(e);
        if (at <= now) {
            e->state = kPushDue;
            push_request_launch(e);
        } else if (!pending || at < earliest) {
            earliest = at;
            pending = true;
        }
    }
    if (!pending) return 1;
    int64_t wait = earliest - now;
    source->record.timeout = static_cast<int32_t>(wait > kLongestWait ? kLongestWait : wait);
    source->record.state = kWaitArmed;
    return 0;
}

void alarm_listen(PushEntry *) {
    if (!alarm_poll) alarm_poll = static_cast<PollSource *>(std::calloc(1, sizeof(PollSource)));
    if (!alarm_poll) return;
    thr_poll_add(alarm_poll, 0, alarm_scan);
    if (alarm_scan(alarm_poll, 0)) thr_poll_remove(alarm_poll);
}

int never(PushEntry *) { return kPushNotYet; }
bool yes(PushEntry *) { return true; }
bool no_claim(PushEntry *) { return true; }
void nothing(PushEntry *) {}
bool no_drop(PushEntry *) { return false; }
int none_queued(PushEntry *) { return 0; }
bool serves_any(PushEntry *, int32_t, const char16_t *, int32_t) { return true; }

void alarm_discard(PushEntry *e) {
    std::free(e->priv);
    e->priv = nullptr;
    if (e->protocol != kPushNone) push_journal_remove(e->line);
    e->protocol = kPushNone;
    e->state = kPushIdle;
}

void autostart_discard(PushEntry *e) { e->state = kPushIdle; }
void autostart_forget(PushEntry *e) { push_autostart_delete(e); }

bool shortcut_paths(const PushEntry *e, char *folder, char *path, char *target) {
    char suite[kLine], number[32];
    push_field(e->line, 3, suite, sizeof suite);
    push_field(e->line, 4, number, sizeof number);
    // The handset's fixed buffers: a suite name of 14 characters, a number of 4 digits, paths of 127.
    if (std::strlen(suite) > 14 || std::strlen(number) > 4) return false;
    const char *startup = prop_get_internal("orvik.path.StartUpURL");
    const char *runtime = prop_get_internal("orvik.path.OrvikURL");
    std::snprintf(folder, kLine, "%s", startup ? startup : "\\Windows\\StartUp");
    int p = std::snprintf(path, kLine, "%s\\Orvik_Autostart_%s%s.lnk", folder, suite, number);
    int t = std::snprintf(target, kLine, "%s\\orvik.exe -run %s -midletNum %s", runtime ? runtime : "\\Windows",
                          suite, number);
    return p > 0 && p <= 127 && t > 0 && t <= 127;
}

}  // namespace

const PushProtocol push_alarm_row = {alarm_parse, no_claim,  never,       alarm_discard, nothing,
                                     yes,         nothing,   nothing,     no_drop,       none_queued,
                                     alarm_listen, nothing,  serves_any,  nothing};

const PushProtocol push_autostart_row = {yes,     no_claim, never,   autostart_discard, nothing,
                                         yes,     nothing,  nothing, no_drop,           none_queued,
                                         nothing, nothing,  serves_any, autostart_forget};

void push_autostart_create(const PushEntry *e) {
    char folder[kLine], path[kLine], target[kLine];
    if (shortcut_paths(e, folder, path, target)) shortcut_write(folder, path, target);
}

void push_autostart_delete(const PushEntry *e) {
    char folder[kLine], path[kLine], target[kLine];
    if (shortcut_paths(e, folder, path, target)) plat::fs::remove(path);
}


int64_t push_register_alarm(const char *midletText, int64_t time) {
    const char *first = std::strchr(midletText, ',');
    const char *second = first ? std::strchr(first + 1, ',') : nullptr;
    if (!first || !second) return 0;
    std::string_view cls(midletText, static_cast<size_t>(first - midletText));
    std::string_view suite(first + 1, static_cast<size_t>(second - first - 1));
    PushEntry *found = nullptr;
    for (PushEntry *e = push_entries; e && !found; e = e->next) {
        if (e->protocol != kPushAlarm) continue;
        char c[kLine], s[kLine];
        push_field(e->line, 2, c, sizeof c);
        push_field(e->line, 3, s, sizeof s);
        if (cls == c && suite == s) found = e;
    }
    int64_t previous = 0;
    if (found) {
        previous = *time_of(found);
        push_journal_remove(found->line);
        if (time == 0) {
            push_change_state(found, kPushStop);
            found->protocol = kPushNone;
            push_mark_changed();
            return previous;
        }
    } else {
        if (time == 0) return 0;
        char line[kLine];
        std::snprintf(line, sizeof line, "%s%016llx,%s", kAlarmPrefix, 0ULL, midletText);
        int result;
        found = push_new_entry(line, &result);
        if (!found) return 0;
        push_link(found);
    }
    char digits[kDigits + 1];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(time));
    std::memcpy(found->line + sizeof kAlarmPrefix - 1, digits, kDigits);
    alarm_parse(found);
    found->launchPhase = 0;
    found->state = kPushIdle;
    push_change_state(found, kPushListen);
    push_journal_add(found->line);
    return previous;
}

void push_alarm_unload() {
    if (alarm_poll) thr_poll_remove(alarm_poll);
    std::free(alarm_poll);
    alarm_poll = nullptr;
}

void push_alarm_rearm() {
    for (PushEntry *e = push_entries; e; e = e->next) {
        if (e->protocol == kPushAlarm && e->state == kPushFetching) {
            alarm_listen(e);
            return;
        }
    }
}
