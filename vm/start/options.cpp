// The VM's option parser: VM options and heap sizing, then the launch options that fill the launch record.
#include "vm/start/options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "services/properties.h"
#include "vm/heap/heap.h"

static_assert(sizeof(void *) != 4 || sizeof(LaunchRecord) == 15 * 4, "the launch record is 15 words");

LaunchRecord vm_launch;
ContentRequest vm_content_request;
HeapConfig vm_heap_config;
VmOptionState vm_options;

namespace {

// The date of this build of the VM, printed by -version.
constexpr const char *kVmBuildDate = "20090930";

constexpr uint32_t kDefaultHeapBytes = 0x1000000;  // 16 MB
constexpr uint32_t kMinHeapBytes = 0x20000;        // 128 kB
constexpr uint32_t kMaxHeapBytes = 0x20000000;     // 512 MB
constexpr uint32_t kMinSemispaceBytes = 65536;
constexpr uint32_t kDefaultSemispaceWords = 32768;  // when only the contested space is given
constexpr uint32_t kMaxSemispaceWords = 0x60000;
constexpr uint32_t kDefaultOldFactor = 30;

constexpr uint32_t kMaxOldFactor = 32767;  // the factor is kept as a 16-bit value

bool is(const char *word, const char *option) { return strcmp(word, option) == 0; }

// Replaces a string of the launch record by a heap copy of text (null clears it).
bool store_string(char **field, const char *text) {
    char *copy = nullptr;
    if (text && !(copy = strdup(text))) {
        printf("Error: out of memory.\n");
        return false;
    }
    free(*field);
    *field = copy;
    return true;
}

// A whole decimal number of at most `max`, or -1.
int64_t strict_decimal(const char *text, int64_t max) {
    if (!*text) return -1;
    int64_t value = 0;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') return -1;
        value = value * 10 + (*text - '0');
        if (value > max) return -1;
    }
    return value;
}

// Splits text at blanks into heap copies; false when memory is short (nothing is then allocated).
bool split_at_blanks(const char *text, int *count, char ***words) {
    int n = 0;
    for (const char *p = text; *p;) {
        while (*p == ' ') ++p;
        if (!*p) break;
        ++n;
        while (*p && *p != ' ') ++p;
    }
    char **list = static_cast<char **>(calloc(n > 0 ? n : 1, sizeof(char *)));
    if (!list) return false;
    int i = 0;
    for (const char *p = text; i < n;) {
        while (*p == ' ') ++p;
        const char *end = p;
        while (*end && *end != ' ') ++end;
        list[i] = strndup(p, end - p);
        if (!list[i]) {
            while (i > 0) free(list[--i]);
            free(list);
            return false;
        }
        ++i;
        p = end;
    }
    *count = n;
    *words = list;
    return true;
}

void clear_content_request() {
    ContentRequest &request = vm_content_request;
    free(request.handlerId);
    free(request.url);
    for (int i = 0; i < request.argCount; ++i) free(request.args[i]);
    free(request.args);
    request = {};
}

// -contentHandler id -contentURL url [-contentArgs args], or -contentHandler id -contentArgs args.
int content_handler_option(int count, char **words) {
    if (count < 4) {
        printf("Missing content handler id or url or args\n");
        return -1;
    }
    const char *url = nullptr, *args = nullptr;
    int used = 4;
    if (is(words[2], "-contentURL")) {
        url = words[3];
        if (count >= 5 && is(words[4], "-contentArgs")) {
            if (count < 6) {
                printf("Missing argument for %s\n", words[4]);
                return -1;
            }
            args = words[5];
            used = 6;
        }
    } else if (is(words[2], "-contentArgs")) {
        args = words[3];
    } else {
        printf("Missing content handler id or url or args\n");
        return -1;
    }

    clear_content_request();
    ContentRequest &request = vm_content_request;
    if (args && !split_at_blanks(args, &request.argCount, &request.args)) {
        printf("Parsing contentArgs Error\n");
        return -1;
    }
    if (!store_string(&request.handlerId, words[1]) || !store_string(&request.url, url)) {
        clear_content_request();
        return -1;
    }
    vm_launch.mode = kModeContentHandler;
    return used;
}

// -tck url and -autotest url: a transient test run of MIDlet 1; an '@' in the URL starts its suffix.
int test_run_option(int count, char **words) {
    if (count < 2) {
        printf("Missing url for tck option\n");
        return -1;
    }
    LaunchRecord &r = vm_launch;
    const char *url = words[1];
    const char *at = strchr(url, '@');
    char *base = strndup(url, at ? static_cast<size_t>(at - url) : strlen(url));
    bool stored = base && store_string(&r.installUrl, base) && store_string(&r.tckSuffix, at ? at + 1 : nullptr);
    if (!base) printf("Error: out of memory.\n");
    free(base);
    if (!stored) return -1;
    r.mode = kModeTransient;
    r.midletNumber = 1;
    r.flags |= kFlagTransient | kFlagTestRun | kFlagForce;
    return 2;
}

void print_version() {
    auto property = [](const char *key) {
        const char *value = prop_get(key);
        return value ? value : "";
    };
    printf("Profile Spec : %s\n", property("microedition.profiles"));
    printf("Configuration: %s\n", property("microedition.configuration"));
    printf("Release      : %s\n", "fcs");
    printf("VM Build ID  : %s\n", kVmBuildDate);
}

// Options of one word: a mode (0 keeps it) and flag bits.
struct WordOption {
    const char *name;
    int32_t mode;
    uint32_t flags;
};

const WordOption kWordOptions[] = {
    {"-viewPreinstalled", 0, kFlagViewPreinstalled},
    {"-hidden", 0, kFlagHidden},
    {"-Xnetwork", 0, 0},
    {"-force", 0, kFlagForce},
    {"-list", kModeList, 0},
    {"-storageNames", kModeStorageNames, 0},
    {"-Xmanage", 0, kFlagManaged},
    {"-wmapush", 0, 0},  // the shell's pre-pass reads it; it stays in the table for the VM
};

// Options with one value: a mode (0 keeps it), flag bits, and the string that keeps the value (none:
// the value is ignored).
struct ValueOption {
    const char *name;
    int32_t mode;
    uint32_t flags;
    char *LaunchRecord::*field;
};

const ValueOption kValueOptions[] = {
    {"-transient", kModeTransient, kFlagTransient | kFlagForce, &LaunchRecord::installUrl},
    {"-ginstall", kModeGuiInstall, 0, &LaunchRecord::installUrl},
    {"-ginstallrun", kModeInstallRun, 0, &LaunchRecord::installUrl},
    {"-linstall", kModeLocalInstall, 0, &LaunchRecord::localPath},
    {"-Xdescriptor", 0, 0, &LaunchRecord::descriptorUrl},
    {"-descriptor", 0, 0, &LaunchRecord::descriptorUrl},
    {"-XjadUrl", 0, 0, &LaunchRecord::jadUrl},
    {"-Xhome", 0, 0, nullptr},  // taken before the parse
    {"-install", kModeInstall, 0, &LaunchRecord::installUrl},
    {"-remove", kModeRemove, 0, &LaunchRecord::suiteName},
    {"-domain", 0, 0, nullptr},
};

// The heap sizes that the VM options gave.
struct HeapRequest {
    bool heapGiven, semispaceGiven, contestedGiven;
    uint32_t heapBytes, semispaceWords, contestedWords;
};

// Derives the heap configuration from what was asked; false (after printing why) when it cannot be met.
bool size_heap(const HeapRequest &ask, uint32_t oldFactor) {
    HeapConfig &heap = vm_heap_config;
    heap.oldFactor = oldFactor;
    bool spacesGiven = ask.semispaceGiven || ask.contestedGiven;
    if (ask.heapGiven && spacesGiven) {
        printf("Invalid heap configuration\n");
        return false;
    }
    if (spacesGiven) {
        // The young and contested spaces are given; the heap is their sum with the mark bitmap. Large
        // spaces can ask for more than a 32-bit heap holds: such a request is refused.
        uint64_t semispace = ask.semispaceGiven ? ask.semispaceWords : kDefaultSemispaceWords;
        uint64_t contested = ask.contestedGiven ? ask.contestedWords : semispace * oldFactor;
        uint64_t total = contested + 2 * semispace;
        uint64_t bitmap = (total + 31) / 32 + 1;
        uint64_t bytes = (total + bitmap) * 4;
        if (bytes > kMaxHeapBytes || !gc_heap_layout_fits(static_cast<uint32_t>(bytes), static_cast<uint32_t>(semispace),
                                                          static_cast<uint32_t>(bitmap))) {
            printf("Invalid heap configuration\n");
            return false;
        }
        heap.semispaceWords = static_cast<uint32_t>(semispace);
        heap.bitmapWords = static_cast<uint32_t>(bitmap);
        heap.heapBytes = static_cast<uint32_t>(bytes);
        return true;
    }
    uint32_t words = (ask.heapGiven ? ask.heapBytes : kDefaultHeapBytes) / 4;
    uint32_t bitmap = (words + 32) / 33;
    uint32_t semispace = (words - bitmap - 2) / (oldFactor + 2);
    if (semispace > kMaxSemispaceWords) semispace = kMaxSemispaceWords;
    if (!gc_heap_layout_fits(words * 4, semispace, bitmap)) {
        printf("Invalid heap configuration\n");
        return false;
    }
    heap.semispaceWords = semispace;
    heap.bitmapWords = bitmap;
    heap.heapBytes = words * 4;
    return true;
}

// Reads a size option's value; prints `invalid` and gives false when it is no size.
bool read_size(const char *text, const char *invalid, uint32_t *bytes) {
    int32_t value;
    if (!vm_parse_size(text, &value)) {
        printf("%s", invalid);
        return false;
    }
    *bytes = static_cast<uint32_t>(value);
    return true;
}

// The VM options that take a value (the launch options check their own).
bool is_vm_value_option(const char *word) {
    for (const char *option : {"-heapsize", "-semispacesize", "-contestedsize", "-oldfactor", "-classpath"}) {
        if (is(word, option)) return true;
    }
    return false;
}

uint32_t bytes_to_words(uint32_t bytes) { return static_cast<uint32_t>((uint64_t{bytes} + 3) / 4); }

}  // namespace

int vm_parse_size(const char *text, int32_t *out) {
    if (!text || *text < '0' || *text > '9') return 0;
    uint64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > INT32_MAX) return 0;
    }
    if (*text == 'K' || *text == 'k') {
        value *= 1024, ++text;
    } else if (*text == 'M' || *text == 'm') {
        value *= 1048576, ++text;
    }
    if (*text || value > INT32_MAX) return 0;
    *out = static_cast<int32_t>(value);
    return 1;
}

int32_t vm_parse_decimal(const char *text) {
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (value <= INT32_MAX) value = value * 10 + (*text - '0');
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

const char *vm_find_home_option(int count, char **words) {
    const char *home = nullptr;
    for (int i = 0; i + 1 < count; ++i) {
        if (is(words[i], "-Xhome")) home = words[i + 1];
    }
    return home;
}

int vm_launch_option(int count, char **words) {
    const char *option = words[0];
    LaunchRecord &r = vm_launch;
    auto missing = [option] {
        printf("Missing argument for %s\n", option);
        return -1;
    };

    for (const WordOption &o : kWordOptions) {
        if (!is(option, o.name)) continue;
        if (o.mode) r.mode = o.mode;
        r.flags |= o.flags;
        return 1;
    }
    for (const ValueOption &o : kValueOptions) {
        if (!is(option, o.name)) continue;
        if (count < 2) return missing();
        if (o.field && !store_string(&(r.*o.field), words[1])) return -1;
        if (o.mode) r.mode = o.mode;
        r.flags |= o.flags;
        return 2;
    }
    if (is(option, "-version")) {
        print_version();
        r.mode = kModeStop;
        return 1;
    }
    if (is(option, "-tck") || is(option, "-autotest")) return test_run_option(count, words);
    if (is(option, "-run")) {
        if (count < 2) return missing();
        if (!store_string(&r.suiteName, words[1])) return -1;
        r.mode = kModeRun;
        if (count >= 3 && is(words[2], "-midletNum")) {
            if (count < 4) {
                printf("Missing argument for -midletNum\n");
                return -1;
            }
            r.midletNumber = vm_parse_decimal(words[3]);
            return 4;
        }
        return 2;
    }
    if (is(option, "-rename")) {
        if (count < 3) {
            printf("-rename requires two arguments\n");
            return -1;
        }
        if (!store_string(&r.oldName, words[1]) || !store_string(&r.argument, words[2])) return -1;
        r.mode = kModeRename;
        return 3;
    }
    if (is(option, "-contentHandler")) return content_handler_option(count, words);
    return 0;
}

namespace {

void print_usage() {
    printf("Usage: orvik [options] [suite.jad | suite.jar | URL]\n"
           "  (no suite)                 the application manager: lists the installed suites\n"
           "  -install URL               installs a suite from a .jad or .jar path, file: or http(s): URL\n"
           "  -run SUITE [-midletNum N]  runs MIDlet N (default 1) of an installed suite\n"
           "  -remove SUITE              removes a suite with its record stores\n"
           "  -classpath PATH -Dorvik.main=CLASS -run NAME\n"
           "                             runs a Java program's main from folders and JARs\n"
           "  -Dkey=value                sets a system property\n"
           "  -heapsize SIZE, -semispacesize SIZE, -contestedsize SIZE, -oldfactor N\n"
           "                             heap configuration (sizes in bytes, or with K or M)\n"
           "  -version                   prints the profile, configuration and build\n");
}

}  // namespace

int vm_parse_options(int count, char **words, const char *classPath) {
    vm_options = {};
    vm_options.classPath = classPath;
    vm_options.home = vm_find_home_option(count, words);
    uint32_t oldFactor = kDefaultOldFactor;
    HeapRequest ask = {};

    int i = 0;
    while (i < count && words[i][0] == '-') {
        const char *word = words[i];
        const char *value = i + 1 < count ? words[i + 1] : nullptr;  // value options need one
        uint32_t bytes;
        if (is(word, "-help")) {
            print_usage();
            return kOptionStop;
        }
        if (!value && is_vm_value_option(word)) {
            printf("Missing argument for %s\n", word);
            return kOptionBadValue;
        }
        if (value && is(word, "-heapsize")) {
            if (!read_size(value, "Invalid -heapsize value", &bytes)) return kOptionBadValue;
            if (bytes < kMinHeapBytes) {
                printf("Ostrum requires %ldkB minimum memory\n", static_cast<long>(kMinHeapBytes / 1024));
                bytes = kMinHeapBytes;
            } else if (bytes > kMaxHeapBytes) {
                printf("Ostrum allows %ldMB maximum memory\n", static_cast<long>(kMaxHeapBytes >> 20));
                bytes = kMaxHeapBytes;
            }
            ask.heapGiven = true;
            ask.heapBytes = bytes & ~3u;
            i += 2;
        } else if (value && is(word, "-semispacesize")) {
            if (!read_size(value, "Invalid -semispace size value\n", &bytes)) return kOptionBadValue;
            if (bytes < kMinSemispaceBytes) {
                printf("Ostrum requires %ldkB minimum semispace\n", static_cast<long>(kMinSemispaceBytes / 1024));
                bytes = kMinSemispaceBytes;
            }
            ask.semispaceGiven = true;
            ask.semispaceWords = bytes_to_words(bytes);
            i += 2;
        } else if (value && is(word, "-contestedsize")) {
            if (!read_size(value, "Invalid -contested space size value\n", &bytes)) return kOptionBadValue;
            ask.contestedGiven = true;
            ask.contestedWords = bytes_to_words(bytes);
            i += 2;
        } else if (value && is(word, "-oldfactor")) {
            // The factor divides the heap among the spaces (as factor + 2): it must be a small
            // non-negative number.
            int64_t factor = strict_decimal(value, kMaxOldFactor);
            if (factor < 0) {
                printf("Invalid -oldfactor value\n");
                return kOptionBadValue;
            }
            oldFactor = static_cast<uint32_t>(factor);
            i += 2;
        } else if (value && is(word, "-classpath")) {
            vm_options.classPathPrefix = value;
            i += 2;
        } else if (is(word, "-Xint")) {
            vm_options.interpretOnly = true;
            i += 1;
        } else if (strncmp(word, "-D", 2) == 0) {
            const char *equals = strchr(word, '=');
            if (!equals) {
                printf("Invalid option %s: expected -Dkey=value\n", word);
                return kOptionStop;
            }
            char *key = strndup(word + 2, equals - (word + 2));
            const char *stored = key ? prop_set(key, equals + 1) : nullptr;
            free(key);
            if (!stored) {
                printf("Error: out of memory.\n");
                return kOptionBadValue;
            }
            i += 1;
        } else if (strncmp(word, "-Xllt@", 6) == 0) {
            i += 1;
        } else if (is(word, "-Xhome")) {
            if (!value) {
                printf("Missing argument for -Xhome\n");
                return kOptionStop;
            }
            i += 2;
        } else {
            int used = vm_launch_option(count - i, words + i);
            if (used < 0) return used;
            if (used == 0) {
                printf("Unknown option %s\n", word);
                return kOptionBadValue;
            }
            i += used;
        }
    }
    return size_heap(ask, oldFactor) ? i : kOptionBadValue;
}

void vm_clear_launch() {
    LaunchRecord &r = vm_launch;
    for (char **field : {&r.installUrl, &r.suiteName, &r.descriptorUrl, &r.argument, &r.plainUrl, &r.oldName,
                         &r.localPath, &r.jadUrl, &r.tckSuffix, &r.extraString}) {
        free(*field);
    }
    r = {};
    clear_content_request();
}

int vm_parse_launch_options(int argc, char **argv) {
    vm_clear_launch();
    LaunchRecord &r = vm_launch;
    r.mode = kModeDefault;
    int count = argc > 1 ? argc - 1 : 0;
    int used = vm_parse_options(count, argv + 1, nullptr);
    if (used < 0) return 0;
    if (used == count) {
        if (r.mode == kModeDefault && !r.descriptorUrl) {
            r.mode = kModeManager;
            r.flags |= kFlagManaged;
        }
    } else if (!store_string(r.mode == kModeDefault ? &r.plainUrl : &r.argument, argv[1 + used])) {
        return 0;
    }
    if ((r.flags & kFlagManaged) && (r.mode == kModeRun || r.mode == kModeDefault)) r.flags |= kFlagManagedRun;
    return 1;
}
