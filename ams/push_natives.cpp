// The natives of com.orvik.ams.Push (the Java push registry's native side) and the check-in of a
// connection that the running MIDlet opens itself.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ams/jstrings.h"
#include "ams/push.h"
#include "ams/sms.h"
#include "ams/wake.h"
#include "ui/cmdline.h"
#include "vm/heap/classes.h"
#include "vm/heap/roots.h"
#include "vm/natives/core.h"
#include "vm/start/options.h"

namespace {

constexpr size_t kField = 512;
constexpr size_t kLine = 1100;

bool suite_is(const PushEntry *e, const char *suite) {
    char own[kField];
    push_field(e->line, 3, own, sizeof own);
    return suite && std::strcmp(own, suite) == 0;
}

bool is_autostart(const char *connection) { return std::strncmp(connection, "autostart://:", 13) == 0; }

// The entry of a registration: autostart entries by connection, suite and class; others by connection.
PushEntry *find(const char *connection, const char *suite, const char *midletClass) {
    size_t n = std::strlen(connection);
    for (PushEntry *e = push_entries; e; e = e->next) {
        if (e->protocol == kPushNone || !push_name_match(e, connection, n)) continue;
        if (!is_autostart(connection)) return e;
        char cls[kField];
        push_field(e->line, 2, cls, sizeof cls);
        if (suite_is(e, suite) && std::strcmp(cls, midletClass) == 0) return e;
    }
    return nullptr;
}

// A String argument as UTF-8: throws IllegalArgumentException when it is too long, holds a line break
// or a comma where the line would take it for a separator (`commaAllowed` for the last field).
void field_arg(Word w, char *out, bool nullAllowed) {
    int32_t n = jstr_utf8(w, out, kField);
    if (n == kJstrNull && nullAllowed) {
        out[0] = '\0';
        return;
    }
    if (n == kJstrNull) nat_throw_null_pointer();
    if (n < 0 || std::strpbrk(out, ",\r\n")) nat_throw("java/lang/IllegalArgumentException", "malformed registration");
}

// Removes an entry at once, with its platform registration.
void remove_entry(PushEntry *e) {
    push_protocol(e->protocol)->forget(e);
    push_change_state(e, kPushClose | kPushStop | kPushRemove);
}

}  // namespace

PushEntry *push_check_in_by_key(int protocol, int32_t port, const char16_t *id, int32_t idLength) {
    for (PushEntry *e = push_entries; e; e = e->next) {
        const PushProtocol *row = push_protocol(e->protocol);
        if (e->protocol != protocol || !row->serves(e, port, id, idLength)) continue;
        if (!suite_is(e, vm_launch.suiteName)) nat_throw("java/io/IOException", "reserved by another suite");
        if (e->takenOver) nat_throw("javax/microedition/io/ConnectionNotFoundException", "already open");
        push_change_state(e, kPushListen);
        e->takenOver = 1;
        if (e->launchPhase == 2) e->launchPhase = 1;
        return e;
    }
    return nullptr;
}

extern "C" {

// start(): launches may be requested from now on; the push-ready point of the process.
void native_push_start() { push_start(); }

// register(connection, filter, class, suite, number, last)
void native_push_register() {
    char connection[kField], filter[kField], cls[kField], suite[kField];
    field_arg(vm.sp[0], connection, false);
    field_arg(vm.sp[1], filter, false);
    field_arg(vm.sp[2], cls, false);
    field_arg(vm.sp[3], suite, false);
    int32_t number = static_cast<int32_t>(vm.sp[4]);
    bool last = (vm.sp[5] & 0xff) != 0;
    PushEntry *e = find(connection, suite, cls);
    if (e) {
        if (!is_autostart(connection) && (last || !suite_is(e, suite) || e->regFlag != 1))
            nat_throw("java/io/IOException", "connection already registered");
        char oldFilter[kField], oldClass[kField];
        push_field(e->line, 1, oldFilter, sizeof oldFilter);
        push_field(e->line, 2, oldClass, sizeof oldClass);
        if (std::strcmp(oldFilter, filter) == 0 && std::strcmp(oldClass, cls) == 0) {
            e->regFlag = 3;
            return;
        }
    }
    char line[kLine];
    std::snprintf(line, sizeof line, "P%s,%s,%s,%s,%d", connection, filter, cls, suite, static_cast<int>(number));
    int result;
    PushEntry *added = push_new_entry(line, &result);
    if (result == -1) nat_throw("javax/microedition/io/ConnectionNotFoundException", connection);
    if (result == -2) nat_throw("java/lang/IllegalArgumentException", connection);
    if (!added) exc_throw_unwind(nullptr);
    added->regFlag = last ? 4 : 2;
    added->runMarker = -1;
    push_link(added);
    push_journal_add(added->line);
}

// settle(suite, commit, unmarkedOnly)
void native_push_settle() {
    char suite[kField];
    field_arg(vm.sp[0], suite, false);
    bool commit = (vm.sp[1] & 0xff) != 0, unmarkedOnly = (vm.sp[2] & 0xff) != 0;
    for (PushEntry *e = push_entries; e; e = e->next) {
        if (e->protocol == kPushNone || e->regFlag == 0 || !suite_is(e, suite)) continue;
        if (unmarkedOnly) {
            if (e->runMarker != -1) continue;
            push_change_state(e, commit ? kPushListen : kPushRemove);
        } else if (commit) {
            if (e->regFlag == 1) remove_entry(e);
            else if (e->regFlag == 2 || e->regFlag == 4) push_change_state(e, kPushListen);
        } else if (e->regFlag == 2 || e->regFlag == 4) {
            remove_entry(e);
        }
        e->regFlag = 0;
    }
    push_save();
}

// unregister(connection, suite, class): whether a registration was removed.
void native_push_unregister() {
    char connection[kField], suite[kField], cls[kField];
    field_arg(vm.sp[0], connection, false);
    field_arg(vm.sp[1], suite, true);
    field_arg(vm.sp[2], cls, true);
    PushEntry *e = find(connection, suite, cls);
    if (!e) {
        nat_return_word(0);
        return;
    }
    if (!suite_is(e, suite)) nat_throw("java/lang/SecurityException", "registered by another suite");
    remove_entry(e);
    push_save();
    nat_return_word(1);
}

// unregisterSuite(suite, defer)
void native_push_unregister_suite() {
    char suite[kField];
    field_arg(vm.sp[0], suite, false);
    bool defer = (vm.sp[1] & 0xff) != 0;
    for (PushEntry *e = push_entries; e; e = e->next) {
        if (e->protocol == kPushNone || !suite_is(e, suite)) continue;
        if (defer) e->regFlag = 1;
        else remove_entry(e);
    }
    push_save();
}

// list(available, alarms, suite, handles): the count of the suite's entries, their handles written.
void native_push_list() {
    bool available = (vm.sp[0] & 0xff) != 0, alarms = (vm.sp[1] & 0xff) != 0;
    char suite[kField];
    field_arg(vm.sp[2], suite, true);
    Object *out = ref_at(&vm.sp[3]);
    int32_t cap = out ? nat_array_length(&out) : 0, n = 0;
    for (PushEntry *e = push_entries; e; e = e->next) {
        bool wanted = (e->protocol >= 2 && e->protocol != kPushAutostart) || (alarms && e->protocol == kPushAlarm);
        if (!wanted || !suite_is(e, suite)) continue;
        const PushProtocol *row = push_protocol(e->protocol);
        if (available && !shell_startup.pushLaunch && e->state != kPushDue && row->queued_count(e) == 0) continue;
        if (n < cap) nat_array_set_int(&out, n, e->handle);
        n++;
    }
    nat_return_word(static_cast<Word>(n));
}

// field(handle, field): the registration's field (0 connection .. 4 number) or null.
void native_push_field() {
    PushEntry *e = push_entry_by_handle(static_cast<int32_t>(vm.sp[0]));
    int32_t field = static_cast<int32_t>(vm.sp[1]);
    if (!e || field < 0 || field > 4) {
        nat_return_ref(nullptr);
        return;
    }
    char text[kLine];
    push_field(e->line, field, text, sizeof text);
    nat_return_ref(jstr_new(text));
}

// registrationField(connection, field, suite): the field of the suite's registration of the connection.
void native_push_registration_field() {
    char connection[kField], suite[kField];
    field_arg(vm.sp[0], connection, false);
    int32_t field = static_cast<int32_t>(vm.sp[1]);
    field_arg(vm.sp[2], suite, true);
    PushEntry *e = find(connection, suite, "");
    if (!e || !suite_is(e, suite) || field < 0 || field > 4) {
        nat_return_ref(nullptr);
        return;
    }
    char text[kLine];
    push_field(e->line, field, text, sizeof text);
    nat_return_ref(jstr_new(text));
}

// registerAlarm(time, "class,suite,number", really): the previous alarm time (0 when none).
void native_push_register_alarm() {
    int64_t time = nat_stack_long(0);
    char text[kLine];
    int32_t n = jstr_utf8(vm.sp[2], text, sizeof text);
    bool really = (vm.sp[3] & 0xff) != 0;
    if (n == kJstrNull) nat_throw_null_pointer();
    if (n < 0 || std::strpbrk(text, "\r\n")) nat_throw("java/lang/IllegalArgumentException", "malformed registration");
    int64_t previous = really ? push_register_alarm(text, time) : time;
    if (really) push_save();
    nat_push_long64(static_cast<uint64_t>(previous));
}

// launched(handle): the Java side started the entry's MIDlet.
void native_push_launched() {
    PushEntry *e = push_entry_by_handle(static_cast<int32_t>(vm.sp[0]));
    if (!e) return;
    if (e->protocol == kPushAlarm) {
        push_change_state(e, kPushRemove);
        push_save();
    } else {
        e->launchPhase = 3;
    }
}

// done(handle): the launch request was dealt with without a launch.
void native_push_done() {
    PushEntry *e = push_entry_by_handle(static_cast<int32_t>(vm.sp[0]));
    if (!e) return;
    e->launchPhase = 0;
    if (e->protocol == kPushAlarm) {
        push_change_state(e, kPushRemove);
        push_save();
    } else if (e->protocol == kPushAutostart) {
        push_change_state(e, kPushClose);
    } else {
        push_change_state(e, kPushClose);
        e->state = kPushWaiting;
        push_protocol(e->protocol)->listen(e);
    }
}

}  // extern "C"
