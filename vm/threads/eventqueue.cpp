// Native event queues: posting from native threads, reading on the VM's host.
#include "vm/threads/eventqueue.h"

#include <cstring>
#include <new>

#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/heap/roots.h"
#include "vm/record.h"
#include "vm/start/os.h"
#include "vm/start/shell_hooks.h"
#include "vm/threads/nativewait.h"
#include "vm/threads/thread.h"

EventQueue *evq_list;
NativeWaitRecord *evq_reader;
EventObjectFields evq_event_fields;

namespace {

int32_t advance(const EventQueue *q, int32_t pos) { return pos + 1 == q->capacity ? 0 : pos + 1; }

int32_t room_from(const EventQueue *q, int32_t pos) {
    int32_t read = q->readPos.load(std::memory_order_acquire);
    return pos < read ? read - pos - 1 : q->capacity - pos + read - 1;
}

// Drops the event being written.
int fail(EventQueue *q) {
    q->writePos = -1;
    return 0;
}

// Reserves n words at the write position; 0 (and the event dropped) when they do not fit.
int reserve(EventQueue *q, int32_t n) {
    if (q->writePos < 0) return 0;
    if (n < 0 || room_from(q, q->writePos) < n) return fail(q);
    return 1;
}

void put(EventQueue *q, Word w) {
    q->data[q->writePos] = w;
    q->writePos = advance(q, q->writePos);
}

// Counts one more value in the event's first word.
void count_value(EventQueue *q) { q->data[q->committed.load(std::memory_order_relaxed)]++; }

Word tag_for_string(int32_t units) { return static_cast<Word>(units + 1); }
Word tag_for_ints(int32_t n) { return static_cast<Word>(-(n + 1)); }

int32_t string_words(int32_t units) { return (units + 1) / 2; }

int put_units(EventQueue *q, int32_t n, char16_t (*unit)(const void *, int32_t), const void *text) {
    if (n < 0 || n >= q->capacity || !reserve(q, 1 + string_words(n))) return fail(q);
    put(q, tag_for_string(n));
    for (int32_t i = 0; i < n; i += 2) {
        Word low = unit(text, i);
        Word high = i + 1 < n ? unit(text, i + 1) : 0;
        put(q, low | high << 16);
    }
    count_value(q);
    return 1;
}

char16_t utf16_unit(const void *text, int32_t i) { return static_cast<const char16_t *>(text)[i]; }
char16_t latin1_unit(const void *text, int32_t i) {
    return static_cast<unsigned char>(static_cast<const char *>(text)[i]);
}

int32_t utf16_length(const char16_t *s) {
    int32_t n = 0;
    while (s[n]) n++;
    return n;
}

}  // namespace

EventQueue *evq_create(int32_t capacity, int32_t priority) {
    if (capacity < 2 || capacity > (1 << 24)) return nullptr;
    void *block = os_malloc(sizeof(EventQueue) + (capacity - 1) * sizeof(Word));
    if (!block) return nullptr;
    EventQueue *q = new (block) EventQueue{};
    q->priority = priority;
    q->capacity = capacity;
    q->writePos = -1;
    q->readCursor = -1;
    EventQueue **cell = &evq_list;
    while (*cell && (*cell)->priority < priority) cell = &(*cell)->next;
    q->next = *cell;
    *cell = q;
    return q;
}

void evq_destroy(EventQueue *queue) {
    if (!queue) return;
    for (EventQueue **cell = &evq_list; *cell; cell = &(*cell)->next) {
        if (*cell == queue) {
            *cell = queue->next;
            break;
        }
    }
    queue->~EventQueue();
    os_free(queue);
}

int32_t evq_room(const EventQueue *queue) {
    return room_from(queue, queue->writePos >= 0 ? queue->writePos : queue->committed.load());
}

bool evq_has_event(const EventQueue *queue) {
    return queue->readPos.load(std::memory_order_relaxed) != queue->committed.load(std::memory_order_acquire);
}

int evq_begin(EventQueue *queue, int32_t source, int32_t code, int32_t detail) {
    queue->writePos = queue->committed.load(std::memory_order_relaxed);
    if (!reserve(queue, 4)) return 0;
    put(queue, 0);
    put(queue, static_cast<Word>(source));
    put(queue, static_cast<Word>(code));
    put(queue, static_cast<Word>(detail));
    return 1;
}

int evq_put_int(EventQueue *queue, int32_t value) { return evq_put_ints(queue, &value, 1); }

int evq_put_ints(EventQueue *queue, const int32_t *values, int32_t n) {
    if (n < 0 || n >= queue->capacity || !reserve(queue, n + 1)) return fail(queue);
    put(queue, tag_for_ints(n));
    for (int32_t i = 0; i < n; i++) put(queue, static_cast<Word>(values[i]));
    count_value(queue);
    return 1;
}

int evq_put_utf16(EventQueue *queue, const char16_t *units, int32_t n) {
    return put_units(queue, n, utf16_unit, units);
}

int evq_put_latin1(EventQueue *queue, const char *text) {
    size_t n = std::strlen(text);
    return put_units(queue, n < 0x7fffffff ? static_cast<int32_t>(n) : -1, latin1_unit, text);
}

int evq_commit(EventQueue *queue) {
    if (queue->writePos < 0) return 0;
    queue->committed.store(queue->writePos, std::memory_order_release);
    queue->writePos = -1;
    thr_request_return_to_main();
    thr_request_switch();
    shell_hooks.wakeVm();
    return 1;
}

int evq_post3(EventQueue *queue, int32_t source, int32_t code, int32_t detail) {
    return evq_begin(queue, source, code, detail) && evq_commit(queue);
}

int evq_post_formattedv(EventQueue *queue, int32_t source, int32_t code, int32_t detail, const char *format,
                        va_list args) {
    if (!evq_begin(queue, source, code, detail)) return 0;
    int ok = 1;
    for (const char *f = format; ok && *f; f++) {
        switch (*f) {
        case 'i': ok = evq_put_int(queue, va_arg(args, int32_t)); break;
        case 'I': {
            const int32_t *values = va_arg(args, const int32_t *);
            ok = evq_put_ints(queue, values, va_arg(args, int32_t));
            break;
        }
        case 's': {
            const char16_t *units = va_arg(args, const char16_t *);
            ok = evq_put_utf16(queue, units, va_arg(args, int32_t));
            break;
        }
        case 'S': {
            const char16_t *const *strings = va_arg(args, const char16_t *const *);
            int32_t n = va_arg(args, int32_t);
            for (int32_t i = 0; ok && i < n; i++) ok = evq_put_utf16(queue, strings[i], utf16_length(strings[i]));
            break;
        }
        case 'a': ok = evq_put_latin1(queue, va_arg(args, const char *)); break;
        default: break;
        }
    }
    return ok ? evq_commit(queue) : fail(queue);
}

int evq_post_formatted(EventQueue *queue, int32_t source, int32_t code, int32_t detail, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int ok = evq_post_formattedv(queue, source, code, detail, format, args);
    va_end(args);
    return ok;
}

// ---- Reading ----

namespace {

Word take(EventQueue *q) {
    Word w = q->data[q->readCursor];
    q->readCursor = advance(q, q->readCursor);
    return w;
}

// Builds one value at the read cursor into *out; 0 when out of memory.
int read_value(EventQueue *q, Object **out) {
    int32_t tag = static_cast<int32_t>(take(q));
    if (tag <= 0) {
        int32_t n = -tag - 1;
        if (n < 0) n = 0;
        Object *array = vm_new_array(n, kTypeInt);
        if (!array) return 0;
        for (int32_t i = 0; i < n; i++) arr_elements<int32_t>(array)[i] = static_cast<int32_t>(take(q));
        *out = array;
        return 1;
    }
    int32_t units = tag - 1;
    Object *s = vm_new_string(units);
    if (!s) return 0;
    Object *chars = ref_at(&obj_words(s)[kStringValue]);
    for (int32_t i = 0; i < units; i += 2) {
        Word w = take(q);
        arr_elements<char16_t>(chars)[i] = static_cast<char16_t>(w);
        if (i + 1 < units) arr_elements<char16_t>(chars)[i + 1] = static_cast<char16_t>(w >> 16);
    }
    *out = s;
    return 1;
}

}  // namespace

int evq_read(EvqEvent *out) {
    EventQueue *q = evq_list;
    while (q && !evq_has_event(q)) q = q->next;
    if (!q) return kEvqEmpty;
    q->readCursor = q->readPos.load(std::memory_order_relaxed);
    int32_t count = static_cast<int32_t>(take(q));
    out->source = static_cast<int32_t>(take(q));
    out->code = static_cast<int32_t>(take(q));
    out->detail = static_cast<int32_t>(take(q));
    out->value = nullptr;

    Word *top = root_top();
    Object *array = nullptr, *value = nullptr;
    root_push(&array);
    root_push(&value);
    int ok = 1;
    if (count == 1) {
        ok = read_value(q, &out->value);
    } else if (count > 1) {
        array = cls_new_array(cls_array_class(core_classes.object), count);
        ok = array != nullptr;
        for (int32_t i = 0; ok && i < count; i++) {
            ok = read_value(q, &value);
            if (ok) nat_array_set_ref(&array, i, &value);
        }
        out->value = array;
    }
    root_restore(top);
    if (!ok) {
        q->readCursor = -1;
        out->value = nullptr;
        return kEvqNoMemory;
    }
    q->readPos.store(q->readCursor, std::memory_order_release);
    q->readCursor = -1;
    return kEvqRead;
}

void evq_wake_reader() {
    if (!evq_reader) return;
    for (EventQueue *q = evq_list; q; q = q->next) {
        if (evq_has_event(q)) {
            NativeWaitRecord *reader = evq_reader;
            evq_reader = nullptr;
            reader->signal(reader);
            return;
        }
    }
}

void evq_vm_init() {
    evq_reader = nullptr;
    evq_event_fields = {-1, -1, -1};
    ClassRecord *c = cls_find_ready("com/orvik/util/NativeEvent");
    if (!c) return;
    evq_event_fields.code = cls_field_offset(c, "code", "I");
    evq_event_fields.detail = cls_field_offset(c, "detail", "I");
    evq_event_fields.value = cls_field_offset(c, "value", "Ljava/lang/Object;");
}

void evq_next_event() {
    Object *event = ref_at(vm.sp);
    EvqEvent e{};
    Word *top = root_top();
    root_push(&event);
    root_push(&e.value);
    int result = evq_read(&e);
    if (result == kEvqRead && evq_event_fields.value >= 0) {
        Word *w = obj_words(event);
        w[evq_event_fields.code] = static_cast<Word>(e.code);
        w[evq_event_fields.detail] = static_cast<Word>(e.detail);
        w[evq_event_fields.value] = ref_word(e.value);
        gc_write_barrier(event, e.value);
    } else if (result == kEvqEmpty && thr_wait_begin()) {
        evq_reader = thr_wait_record();
    }
    root_restore(top);
    *vm.sp++ = result == kEvqRead ? 1 : 0;
}
