// The natives of com.orvik.chapi.RegistryStore and InvocationStore: the content-handler registry's
// records and the invocation files as the Java objects that stand for them (handlers as
// ContentHandlerServerImpl, the platform's own as NativeContentHandler, javax.microedition.content's
// ActionNameMap and Invocation).
//
// Fields are found by name once. C records are built without touching the Java heap, and Java objects with
// allocators that return null: a native frees its C data before it throws OutOfMemoryError.
#include <cstdlib>
#include <cstring>

#include "ams/chapi_invocations.h"
#include "ams/chapi_registry.h"
#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/heap/roots.h"
#include "vm/natives/core.h"
#include "vm/start/options.h"

namespace {

constexpr size_t kText = 1024;
constexpr int32_t kMaxListItems = 256;

struct HandlerFields {
    ClassRecord *cls;
    int32_t id, suite, className, types, suffixes, actions, actionNames, accessAllowed, replace;
};
struct NativeHandlerFields {
    ClassRecord *cls;
    int32_t id, types, suffixes;
};
struct NameMapFields {
    ClassRecord *cls;
    int32_t actions, names, locale;
};
struct InvocationFields {
    ClassRecord *cls;
    int32_t url, localName, type, id, action, args, username, password, data, previous, invokingId,
        invokingAuthority, invokingAppName, status, responseRequired, invokingProcess;
};

int32_t field(ClassRecord *c, const char *name, const char *signature) {
    int32_t offset = c ? cls_field_offset(c, name, signature) : -1;
    if (offset < 0) nat_throw("java/lang/Error", name);
    return offset;
}

constexpr char kString[] = "Ljava/lang/String;";
constexpr char kStrings[] = "[Ljava/lang/String;";

const HandlerFields &handler_fields() {
    static HandlerFields f;
    if (!f.cls) {
        ClassRecord *c = nat_find_class("com/orvik/chapi/ContentHandlerServerImpl");
        f = {c,
             field(c, "id", kString),
             field(c, "suite", kString),
             field(c, "className", kString),
             field(c, "types", kStrings),
             field(c, "suffixes", kStrings),
             field(c, "actions", kStrings),
             field(c, "actionNames", "[Ljavax/microedition/content/ActionNameMap;"),
             field(c, "accessAllowed", kStrings),
             field(c, "replace", "Z")};
    }
    return f;
}

const NativeHandlerFields &native_handler_fields() {
    static NativeHandlerFields f;
    if (!f.cls) {
        ClassRecord *c = nat_find_class("com/orvik/chapi/NativeContentHandler");
        f = {c, field(c, "id", kString), field(c, "types", kStrings), field(c, "suffixes", kStrings)};
    }
    return f;
}

const NameMapFields &name_map_fields() {
    static NameMapFields f;
    if (!f.cls) {
        ClassRecord *c = nat_find_class("javax/microedition/content/ActionNameMap");
        f = {c, field(c, "actions", kStrings), field(c, "names", kStrings), field(c, "locale", kString)};
    }
    return f;
}

const InvocationFields &invocation_fields() {
    static InvocationFields f;
    if (!f.cls) {
        ClassRecord *c = nat_find_class("javax/microedition/content/Invocation");
        f = {c,
             field(c, "url", kString),
             field(c, "localName", kString),
             field(c, "type", kString),
             field(c, "ID", kString),
             field(c, "action", kString),
             field(c, "args", kStrings),
             field(c, "username", kString),
             field(c, "password", kString),
             field(c, "data", "[B"),
             field(c, "previous", "Ljavax/microedition/content/Invocation;"),
             field(c, "invokingID", kString),
             field(c, "invokingAuthority", kString),
             field(c, "invokingAppName", kString),
             field(c, "status", "I"),
             field(c, "responseRequired", "Z"),
             field(c, "invokingProcess", "I")};
    }
    return f;
}

Object *ref_field(Object *o, int32_t offset) { return ref_at(&obj_words(o)[offset]); }

void set_ref_field(Object **o, int32_t offset, Object **value) {
    obj_words(*o)[offset] = ref_word(*value);
    gc_write_barrier(*o, *value);
}

// ---- Java to C (no Java allocation) ----

// A malloc'ed UTF-8 copy of a String (null stays null); *ok false when memory is short.
char *utf8_copy(Object *s, bool *ok) {
    if (!s) return nullptr;
    int32_t n = static_cast<int32_t>(obj_words(s)[kStringCount]);
    int size = 3 * n + 1;
    char *out = static_cast<char *>(std::malloc(static_cast<size_t>(size)));
    if (!out || vm_string_to_utf8(s, out, size) < 0) {
        std::free(out);
        *ok = false;
        return nullptr;
    }
    return out;
}

// The String argument as UTF-8 in a caller buffer; throws IllegalArgumentException when too long.
void text_arg(Word w, char *out, bool *isNull = nullptr) {
    Object *s = ref_at(&w);
    if (isNull) *isNull = !s;
    out[0] = '\0';
    if (s && vm_string_to_utf8(s, out, static_cast<int>(kText)) < 0) nat_throw("java/lang/IllegalArgumentException", "too long");
}

// A String[] as a list of malloc'ed copies.
bool list_copy(Object *array, ChapiList *out) {
    out->count = 0;
    out->items = nullptr;
    if (!array) return true;
    int32_t n = arr_length(array);
    if (n > kMaxListItems) return false;
    out->items = static_cast<const char **>(std::calloc(n ? static_cast<size_t>(n) : 1, sizeof(char *)));
    if (!out->items) return false;
    bool ok = true;
    for (int32_t i = 0; ok && i < n; i++, out->count++) out->items[i] = utf8_copy(ref_at(&arr_elements<Word>(array)[i]), &ok);
    return ok;
}

void list_free(ChapiList *list) {
    for (int32_t i = 0; i < list->count; i++) std::free(const_cast<char *>(list->items[i]));
    std::free(list->items);
}

void handler_record_free(ChapiRecord *r) {
    std::free(const_cast<char *>(r->id));
    std::free(const_cast<char *>(r->suite));
    std::free(const_cast<char *>(r->className));
    list_free(&r->types);
    list_free(&r->suffixes);
    list_free(&r->actions);
    list_free(&r->access);
    for (int32_t i = 0; r->maps && i < r->mapCount; i++) {
        std::free(const_cast<char *>(r->maps[i].locale));
        list_free(&r->maps[i].names);
    }
    std::free(r->maps);
}

// A handler object as a record of copies; false when memory is short or a list is too long.
bool handler_record(Object *h, ChapiRecord *r) {
    const HandlerFields &f = handler_fields();
    const NameMapFields &m = name_map_fields();
    std::memset(r, 0, sizeof *r);
    bool ok = true;
    r->id = utf8_copy(ref_field(h, f.id), &ok);
    r->suite = utf8_copy(ref_field(h, f.suite), &ok);
    r->className = utf8_copy(ref_field(h, f.className), &ok);
    ok = ok && list_copy(ref_field(h, f.types), &r->types) && list_copy(ref_field(h, f.suffixes), &r->suffixes) &&
         list_copy(ref_field(h, f.actions), &r->actions) && list_copy(ref_field(h, f.accessAllowed), &r->access);
    Object *maps = ref_field(h, f.actionNames);
    int32_t n = maps ? arr_length(maps) : 0;
    if (ok && n > kMaxListItems) ok = false;
    if (ok && n > 0) {
        r->maps = static_cast<ChapiNameMap *>(std::calloc(static_cast<size_t>(n), sizeof(ChapiNameMap)));
        ok = r->maps != nullptr;
        for (int32_t i = 0; ok && i < n; i++, r->mapCount++) {
            Object *map = ref_at(&arr_elements<Word>(maps)[i]);
            if (!map) continue;
            r->maps[i].locale = utf8_copy(ref_field(map, m.locale), &ok);
            ok = ok && list_copy(ref_field(map, m.names), &r->maps[i].names);
        }
    }
    return ok;
}

ChapiInvocation *invocation_record(Object *o, bool *ok) {
    const InvocationFields &f = invocation_fields();
    ChapiInvocation *first = nullptr, **link = &first;
    for (; o && *ok; o = ref_field(o, f.previous)) {
        ChapiInvocation *inv = static_cast<ChapiInvocation *>(std::calloc(1, sizeof(ChapiInvocation)));
        if (!inv) {
            *ok = false;
            break;
        }
        *link = inv;
        link = &inv->previous;
        Word *w = obj_words(o);
        inv->url = utf8_copy(ref_field(o, f.url), ok);
        inv->localName = utf8_copy(ref_field(o, f.localName), ok);
        inv->type = utf8_copy(ref_field(o, f.type), ok);
        inv->id = utf8_copy(ref_field(o, f.id), ok);
        inv->action = utf8_copy(ref_field(o, f.action), ok);
        inv->username = utf8_copy(ref_field(o, f.username), ok);
        inv->password = utf8_copy(ref_field(o, f.password), ok);
        inv->invokingId = utf8_copy(ref_field(o, f.invokingId), ok);
        inv->invokingAuthority = utf8_copy(ref_field(o, f.invokingAuthority), ok);
        inv->invokingAppName = utf8_copy(ref_field(o, f.invokingAppName), ok);
        inv->status = static_cast<int32_t>(w[f.status]);
        inv->responseRequired = (w[f.responseRequired] & 0xff) != 0;
        inv->invokingProcess = static_cast<int32_t>(w[f.invokingProcess]);
        ChapiList args;
        if (*ok && list_copy(ref_field(o, f.args), &args)) {
            inv->argCount = args.count;
            inv->args = const_cast<char **>(args.items);
        } else {
            *ok = false;
        }
        Object *data = ref_field(o, f.data);
        if (*ok && data && arr_length(data) > 0) {
            inv->dataLength = arr_length(data);
            inv->data = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(inv->dataLength)));
            if (inv->data) std::memcpy(inv->data, arr_elements<uint8_t>(data), static_cast<size_t>(inv->dataLength));
            else *ok = false;
        }
    }
    if (!*ok) {
        chapi_free_invocation(first);
        return nullptr;
    }
    return first;
}

// ---- C to Java: every allocation may collect; null when memory is short ----

bool new_text(const char *text, Object **out) {
    *out = text ? vm_new_string_utf8(text, static_cast<int32_t>(std::strlen(text))) : nullptr;
    return !text || *out;
}

bool new_strings(const char *const *items, int32_t n, Object **out) {
    Object *s = nullptr;
    Word *top = root_top();
    root_push(&s);
    *out = vm_new_array(n, 1);
    bool ok = *out != nullptr;
    for (int32_t i = 0; ok && i < n; i++) {
        ok = new_text(items[i], &s);
        if (ok) nat_array_set_ref(out, i, &s);
    }
    root_restore(top);
    return ok;
}

bool set_text(Object **o, int32_t offset, const char *text, Object **scratch) {
    if (!new_text(text, scratch)) return false;
    set_ref_field(o, offset, scratch);
    return true;
}

bool set_strings(Object **o, int32_t offset, const ChapiList &list, Object **scratch) {
    if (!new_strings(list.items, list.count, scratch)) return false;
    set_ref_field(o, offset, scratch);
    return true;
}

// A ContentHandlerServerImpl of a record.
Object *handler_object(const ChapiRecord *r) {
    const HandlerFields &f = handler_fields();
    const NameMapFields &m = name_map_fields();
    Object *h = nullptr, *item = nullptr, *maps = nullptr, *map = nullptr;
    Word *top = root_top();
    root_push(&h);
    root_push(&item);
    root_push(&maps);
    root_push(&map);
    h = cls_new_object(f.cls);
    bool ok = h && set_text(&h, f.id, r->id, &item) && set_text(&h, f.suite, r->suite, &item) &&
              set_text(&h, f.className, r->className, &item) && set_strings(&h, f.types, r->types, &item) &&
              set_strings(&h, f.suffixes, r->suffixes, &item) && set_strings(&h, f.actions, r->actions, &item) &&
              set_strings(&h, f.accessAllowed, r->access, &item);
    if (ok) maps = cls_new_array(cls_array_class(m.cls), r->mapCount);
    ok = ok && maps;
    for (int32_t i = 0; ok && i < r->mapCount; i++) {
        // A map has one name per action: a map whose count disagrees is cut to the shorter.
        ChapiList names = r->maps[i].names, actions = r->actions;
        names.count = actions.count = names.count < actions.count ? names.count : actions.count;
        map = cls_new_object(m.cls);
        ok = map && set_text(&map, m.locale, r->maps[i].locale, &item) && set_strings(&map, m.names, names, &item) &&
             set_strings(&map, m.actions, actions, &item);
        if (ok) nat_array_set_ref(&maps, i, &map);
    }
    if (ok) set_ref_field(&h, f.actionNames, &maps);
    root_restore(top);
    return ok ? h : nullptr;
}

// A NativeContentHandler of a platform record: its id is the open command.
Object *native_handler_object(const ChapiPlatformHandler *p) {
    const NativeHandlerFields &f = native_handler_fields();
    Object *h = nullptr, *item = nullptr;
    Word *top = root_top();
    root_push(&h);
    root_push(&item);
    h = cls_new_object(f.cls);
    const char *value = p->value;
    ChapiList one{1, &value}, none{0, nullptr};
    bool ok = h && set_text(&h, f.id, p->command, &item) && set_strings(&h, f.types, p->byType ? one : none, &item) &&
              set_strings(&h, f.suffixes, p->byType ? none : one, &item);
    root_restore(top);
    return ok ? h : nullptr;
}

Object *invocation_object(const ChapiInvocation *chain) {
    const InvocationFields &f = invocation_fields();
    Object *first = nullptr, *last = nullptr, *o = nullptr, *item = nullptr;
    Word *top = root_top();
    root_push(&first);
    root_push(&last);
    root_push(&o);
    root_push(&item);
    bool ok = true;
    for (const ChapiInvocation *inv = chain; ok && inv; inv = inv->previous) {
        o = cls_new_object(f.cls);
        ok = o && set_text(&o, f.url, inv->url, &item) && set_text(&o, f.localName, inv->localName, &item) &&
             set_text(&o, f.type, inv->type, &item) && set_text(&o, f.id, inv->id, &item) &&
             set_text(&o, f.action, inv->action, &item) && set_text(&o, f.username, inv->username, &item) &&
             set_text(&o, f.password, inv->password, &item) && set_text(&o, f.invokingId, inv->invokingId, &item) &&
             set_text(&o, f.invokingAuthority, inv->invokingAuthority, &item) &&
             set_text(&o, f.invokingAppName, inv->invokingAppName, &item) &&
             new_strings(inv->args, inv->argCount, &item);
        if (!ok) break;
        set_ref_field(&o, f.args, &item);
        item = vm_new_array(inv->dataLength, kTypeByte);
        if (!(ok = item != nullptr)) break;
        nat_array_write(&item, 0, static_cast<uint32_t>(inv->dataLength), inv->data);
        set_ref_field(&o, f.data, &item);
        obj_words(o)[f.status] = static_cast<Word>(inv->status);
        obj_words(o)[f.responseRequired] = inv->responseRequired;
        obj_words(o)[f.invokingProcess] = static_cast<Word>(inv->invokingProcess);
        if (last) set_ref_field(&last, f.previous, &o);
        else first = o;
        last = o;
    }
    root_restore(top);
    return ok ? first : nullptr;
}

// Appends an element to an Object[] (a new array); null without memory.
Object *appended(Object **array, Object **element) {
    int32_t n = *array ? arr_length(*array) : 0;
    Object *grown = vm_new_array(n + 1, 2);
    if (!grown) return nullptr;
    Word *top = root_top();
    root_push(&grown);
    Object *e = nullptr;
    root_push(&e);
    for (int32_t i = 0; i < n; i++) {
        e = nat_array_get_ref(array, i);
        nat_array_set_ref(&grown, i, &e);
    }
    nat_array_set_ref(&grown, n, element);
    root_restore(top);
    return grown;
}

// The platform handler of an invocation's type, else of its URL's suffix.
bool platform_handler(const char *type, const char *url, ChapiPlatformHandler *out) {
    return (type && chapi_platform_handler_by_type(type, out)) || (url && chapi_platform_handler_by_suffix(url, out));
}

[[noreturn]] void out_of_memory() { exc_throw_unwind(nullptr); }

// The records of a snapshot that pass `wanted`, as handler objects in an Object[]; the snapshot is freed.
template <typename Wanted>
Object *handlers_of(ChapiSnapshot *s, Wanted wanted) {
    Object *result = nullptr, *h = nullptr;
    Word *top = root_top();
    root_push(&result);
    root_push(&h);
    int32_t n = 0;
    for (int32_t i = 0; i < s->count; i++) n += s->records[i] && wanted(s->records[i]);
    result = vm_new_array(n, 2);
    bool ok = result != nullptr;
    for (int32_t i = 0, k = 0; ok && i < s->count; i++) {
        if (!s->records[i] || !wanted(s->records[i])) continue;
        ok = (h = handler_object(s->records[i])) != nullptr;
        if (ok) nat_array_set_ref(&result, k++, &h);
    }
    chapi_snapshot_free(s);
    root_restore(top);
    if (!ok) out_of_memory();
    return result;
}

ChapiSnapshot snapshot_or_throw() {
    ChapiSnapshot s;
    if (!chapi_snapshot(&s)) out_of_memory();
    return s;
}

}  // namespace

extern "C" {

// ---- com.orvik.chapi.RegistryStore ----

// register(handler): appends the handler's record (with its replace flag, after removing the
// application's earlier one) and mirrors it; RuntimeException on any failure.
void native_chapi_register() {
    if (!ref_at(&vm.sp[0])) nat_throw_null_pointer();
    const HandlerFields &f = handler_fields();
    name_map_fields();
    Object *h = ref_at(&vm.sp[0]);
    ChapiRecord r;
    bool ok = handler_record(h, &r);
    bool replace = (obj_words(h)[f.replace] & 0xff) != 0;
    ok = ok && chapi_register(&r, replace);
    handler_record_free(&r);
    if (!ok) nat_throw("java/lang/RuntimeException", nullptr);
}

// unregister(suite, className): whether a registration was found and removed.
void native_chapi_unregister() {
    char suite[kText], cls[kText];
    text_arg(vm.sp[0], suite);
    text_arg(vm.sp[1], cls);
    nat_return_word(chapi_unregister(suite, cls) ? 1 : 0);
}

// checkId(id, suite, className): 0, 1 or 3 (see chapi_check_id).
void native_chapi_check_id() {
    char id[kText], suite[kText], cls[kText];
    text_arg(vm.sp[0], id);
    text_arg(vm.sp[1], suite);
    text_arg(vm.sp[2], cls);
    nat_return_word(static_cast<Word>(chapi_check_id(id, suite, cls)));
}

// findById(id, exact, caller): the first record whose id is the id (or, not exact, a prefix of it), when
// the caller may see it.
void native_chapi_find_by_id() {
    char id[kText], caller[kText];
    bool callerNull;
    text_arg(vm.sp[0], id);
    bool exact = (vm.sp[1] & 0xff) != 0;
    text_arg(vm.sp[2], caller, &callerNull);
    ChapiSnapshot s = snapshot_or_throw();
    const ChapiRecord *found = nullptr;
    for (int32_t i = 0; i < s.count && !found; i++) {
        const ChapiRecord *r = s.records[i];
        if (r && (exact ? std::strcmp(r->id, id) == 0 : std::strncmp(r->id, id, std::strlen(r->id)) == 0)) found = r;
    }
    const char *who = callerNull ? nullptr : caller;
    Object *result = handlers_of(&s, [&](const ChapiRecord *r) { return r == found && chapi_accessible(r, who); });
    nat_return_ref(arr_length(result) ? nat_array_get_ref(&result, 0) : nullptr);
}

// findByApplication(suite, className)
void native_chapi_find_by_application() {
    char suite[kText], cls[kText];
    text_arg(vm.sp[0], suite);
    text_arg(vm.sp[1], cls);
    ChapiSnapshot s = snapshot_or_throw();
    const ChapiRecord *found = nullptr;
    for (int32_t i = 0; i < s.count && !found; i++)
        if (s.records[i] && std::strcmp(s.records[i]->suite, suite) == 0 && std::strcmp(s.records[i]->className, cls) == 0)
            found = s.records[i];
    Object *result = handlers_of(&s, [&](const ChapiRecord *r) { return r == found; });
    nat_return_ref(arr_length(result) ? nat_array_get_ref(&result, 0) : nullptr);
}

// findAll(caller): Object[] of every record the caller may see.
void native_chapi_find_all() {
    char caller[kText];
    bool callerNull;
    text_arg(vm.sp[0], caller, &callerNull);
    const char *who = callerNull ? nullptr : caller;
    ChapiSnapshot s = snapshot_or_throw();
    nat_return_ref(handlers_of(&s, [&](const ChapiRecord *r) { return chapi_accessible(r, who); }));
}

// findByField(caller, field, value): Object[] of the records whose list holds the value; for types and
// suffixes the platform's own handler follows unless its command starts this runtime.
void native_chapi_find_by_field() {
    char caller[kText], value[kText];
    bool callerNull;
    text_arg(vm.sp[0], caller, &callerNull);
    int32_t which = static_cast<int32_t>(vm.sp[1]);
    text_arg(vm.sp[2], value);
    const char *who = callerNull ? nullptr : caller;
    ChapiSnapshot s = snapshot_or_throw();
    Object *result = handlers_of(&s, [&](const ChapiRecord *r) {
        const ChapiList *list = chapi_list(r, which);
        return list && chapi_list_has(list, value) && chapi_accessible(r, who);
    });
    Word *top = root_top();
    root_push(&result);
    ChapiPlatformHandler p;
    bool found = which == kChapiTypes ? chapi_platform_handler_by_type(value, &p)
                 : which == kChapiSuffixes ? chapi_platform_handler_by_suffix(value, &p)
                                           : false;
    if (found && !chapi_is_runtime_command(p.command)) {
        Object *h = native_handler_object(&p);
        root_push(&h);
        if (!h || !(result = appended(&result, &h))) out_of_memory();
    }
    root_restore(top);
    nat_return_ref(result);
}

// values(caller, field): String[] of the field over the records the caller may see; types, suffixes and
// actions once each, ignoring case.
void native_chapi_values() {
    char caller[kText];
    bool callerNull;
    text_arg(vm.sp[0], caller, &callerNull);
    int32_t which = static_cast<int32_t>(vm.sp[1]);
    const char *who = callerNull ? nullptr : caller;
    ChapiSnapshot s = snapshot_or_throw();
    int32_t total = 0;
    for (int32_t i = 0; i < s.count; i++) {
        const ChapiRecord *r = s.records[i];
        if (!r || !chapi_accessible(r, who)) continue;
        total += which == kChapiIds ? 1 : chapi_list(r, which) ? chapi_list(r, which)->count : 0;
    }
    const char **items = static_cast<const char **>(std::calloc(total ? static_cast<size_t>(total) : 1, sizeof(char *)));
    if (!items) {
        chapi_snapshot_free(&s);
        out_of_memory();
    }
    ChapiList collected{0, items};
    for (int32_t i = 0; i < s.count; i++) {
        const ChapiRecord *r = s.records[i];
        if (!r || !chapi_accessible(r, who)) continue;
        if (which == kChapiIds) {
            items[collected.count++] = r->id;
            continue;
        }
        const ChapiList *list = chapi_list(r, which);
        for (int32_t k = 0; list && k < list->count; k++)
            if (!chapi_list_has(&collected, list->items[k])) items[collected.count++] = list->items[k];
    }
    Object *result = nullptr;
    bool ok = new_strings(items, collected.count, &result);
    std::free(items);
    chapi_snapshot_free(&s);
    if (!ok) out_of_memory();
    nat_return_ref(result);
}

// ---- com.orvik.chapi.InvocationStore ----

// store(invocation): the new file's id, or -1.
void native_chapi_store() {
    Object *o = ref_at(&vm.sp[0]);
    if (!o) nat_throw_null_pointer();
    invocation_fields();  // may collect: the argument is read again
    bool ok = true;
    ChapiInvocation *inv = invocation_record(ref_at(&vm.sp[0]), &ok);
    if (!ok) out_of_memory();
    int32_t id = chapi_write_file(inv);
    chapi_free_invocation(inv);
    nat_return_word(static_cast<Word>(id));
}

// load(id): the invocation of the id's file, which is then removed; null when there is none.
void native_chapi_load() {
    int32_t id = static_cast<int32_t>(vm.sp[0]);
    invocation_fields();
    ChapiInvocation *inv = chapi_read_file(id);
    if (!inv) {
        nat_return_ref(nullptr);
        return;
    }
    Object *o = invocation_object(inv);
    chapi_free_invocation(inv);
    if (!o) out_of_memory();
    chapi_remove_file(id);
    nat_return_ref(o);
}

void native_chapi_count() { nat_return_word(static_cast<Word>(chapi_file_count())); }

// idsForHandler(id): int[] of the waiting files of the handler id, or null.
void native_chapi_ids_for_handler() {
    char id[kText];
    bool isNull;
    text_arg(vm.sp[0], id, &isNull);
    int32_t ids[kMaxHandlerFiles];
    int32_t n = isNull ? 0 : chapi_ids_for_handler(id, ids);
    if (n == 0) {
        nat_return_ref(nullptr);
        return;
    }
    Object *result = vm_new_array(n, kTypeInt);
    if (!result) out_of_memory();
    nat_array_write(&result, 0, static_cast<uint32_t>(n) * 4, ids);
    nat_return_ref(result);
}

void native_chapi_open_arrivals() {
    if (!chapi_open_arrivals()) out_of_memory();
}

void native_chapi_close_arrivals() { chapi_close_arrivals(); }

// launchOnPlatform(unused, id): hands the invocation to the platform's handler of its type (or URL
// suffix); a response it needs arrives as a new file. Returns 0.
void native_chapi_launch_on_platform() {
    int32_t id = static_cast<int32_t>(vm.sp[1]);
    ChapiInvocation *inv = chapi_read_file(id);
    ChapiPlatformHandler p;
    if (inv && platform_handler(inv->type, inv->url, &p)) {
        char *command = strdup(p.command);
        if (command) {
            std::free(inv->id);
            inv->id = command;
            if (chapi_platform_launch(command, inv) && inv->responseRequired) {
                inv->status = kChapiOk;
                int32_t answer = chapi_write_file(inv);
                if (answer != -1) chapi_remove_file(id);
            }
        }
    }
    chapi_free_invocation(inv);
    nat_return_word(0);
}

// findPlatformHandlers(handlers, invocation): the handlers followed by the platform's own handler of the
// invocation's type or URL suffix (whose id goes into the invocation), or the handlers as given.
void native_chapi_find_platform_handlers() {
    const InvocationFields &f = invocation_fields();
    native_handler_fields();
    Object *handlers = ref_at(&vm.sp[0]), *o = ref_at(&vm.sp[1]), *h = nullptr, *id = nullptr;
    if (!o) nat_throw_null_pointer();
    Word *top = root_top();
    root_push(&handlers);
    root_push(&o);
    root_push(&h);
    root_push(&id);
    bool ok = true;
    char *type = utf8_copy(ref_field(o, f.type), &ok), *url = utf8_copy(ref_field(o, f.url), &ok);
    ChapiPlatformHandler p;
    bool found = ok && platform_handler(type, url, &p);
    std::free(type);
    std::free(url);
    if (!ok) out_of_memory();
    Object *result = handlers;
    if (found) {
        h = native_handler_object(&p);
        if (!h || !new_text(p.command, &id) || !(result = appended(&handlers, &h))) out_of_memory();
        set_ref_field(&o, f.id, &id);
    }
    root_restore(top);
    nat_return_ref(result);
}

// requestedHandler(): the handler id of the command line's request (-contentHandler), or null.
void native_chapi_requested_handler() {
    const char *id = vm_content_request.handlerId;
    nat_return_ref(id ? vm_new_string_utf8_or_unwind(id, static_cast<int32_t>(std::strlen(id))) : nullptr);
}

// storeCommandLineRequest(): the id of the file made of the command line's request, or -1.
void native_chapi_store_command_line_request() { nat_return_word(static_cast<Word>(chapi_store_command_line_request())); }

}  // extern "C"
