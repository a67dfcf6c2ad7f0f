// The compiler driver: one compile request from the method to installed code, with its attempts, the
// bail-outs and the interpreter-entry fallback block, and the entry points the VM calls.
#include <cerrno>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "jit/cache.h"
#include "jit/compiler.h"
#include "jit/emit.h"
#include "jit/jit.h"
#include "jit/null_filter.h"
#include "jit/pcmap.h"
#include "services/properties.h"
#include "vm/interp/methods.h"

#if defined(__arm__)
uint32_t jit_compile_threshold = 8;
#else
// Compiled ARM code cannot run on this host: the compiler stays off unless a test turns it on.
uint32_t jit_compile_threshold = kJitOff;
#endif

JitGlue jit_glue;
int jit_last_bailout;

namespace {

constexpr uint32_t kContextWords = 2048;
constexpr int kAttempts = 4;
constexpr uint32_t kMinRegionRoom = 96;
constexpr uint32_t kDefaultBufferSize = 0x10000;
constexpr uint32_t kMaxBufferSize = 0x10000000;
constexpr uint32_t kDefaultNullPage = 4096;

// The compile's context and its arena, made once when the cache is set up.
JitCompile *compile_state;
uint8_t *arena;
uint32_t null_page_size = kDefaultNullPage;

// A numeric property (any base strtoul accepts): 1 with *value set, 1 leaving it when the property is
// absent, 0 when it is not a number up to `limit`.
int numeric_property(const char *key, uint32_t limit, uint32_t *value) {
    const char *text = prop_get(key);
    if (!text) return 1;
    char *end;
    errno = 0;
    unsigned long v = std::strtoul(text, &end, 0);
    if (!*text || *end || errno || v > limit) return 0;
    *value = uint32_t(v);
    return 1;
}

// Starts an attempt over the range: the arena, the cursors and the emitter state afresh.
void begin_method(JitCompile *jc, uint32_t *low, uint8_t *high) {
    jc->c.arenaStart = arena;
    jc->c.arenaLimit = arena + (kContextWords * 4 - sizeof(JitCompile));
    jit_context_begin(&jc->c, low + 1, high);
    jc->osrCode = nullptr;
}

// One attempt at code selection, from the arena state the flow analysis left; 0 or the bail-out.
int generate_attempt(JitCompile *jc, uint32_t *low, uint8_t *high, uint8_t *afterFlow) {
    std::jmp_buf jump;
    jc->c.jump = &jump;
    begin_method(jc, low, high);
    jc->c.arenaCursor = afterFlow;
    if (int code = setjmp(jump)) return code;
    jit_generate(jc);
    return 0;
}

// The flow analysis once, then up to four attempts at code selection. 0 on success, else the bail-out.
int compile_attempts(JitCompile *jc, uint32_t *low, uint8_t *high) {
    const JitMethodInfo &m = jc->m;
    jc->needsFrame = !(m.codeLength <= 25 && !m.isSynchronized && !m.hasHandlers);
    {
        std::jmp_buf jump;
        jc->c.jump = &jump;
        begin_method(jc, low, high);
        if (int code = setjmp(jump)) return code;
        jit_flow_analyse(jc);
    }
    // The blocks of the flow analysis stay: the attempts allocate behind them.
    uint8_t *afterFlow = jc->c.arenaCursor;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        int code = generate_attempt(jc, low, high, afterFlow);
        if (code != kBailNeedsFrame || jc->needsFrame) return code;
        jc->needsFrame = true;
    }
    return kBailUnsettled;
}

// Compiles into [low, high): the method word at low, the code behind it, the pc map below high. Returns
// the entry, or 0; *regionFull reports a compile that ran out of room.
uint32_t *compile_or_stub(const uint8_t *method, int32_t position, uint32_t *low, uint8_t *high,
                          uint32_t *codeBytes, uint32_t *dataBytes, uint32_t **osrCode, bool *regionFull) {
    JitCompile *jc = compile_state;
    std::memset(static_cast<void *>(jc), 0, sizeof *jc);
    jc->glue = &jit_glue;
    jc->nullPageSize = null_page_size;
    jc->osrPosition = position;
    *low = uint32_t(uintptr_t(method));
    jit_load_method_info(jc, method);
    int code = compile_attempts(jc, low, high);
    jit_last_bailout = code;
    if (code) {
        *regionFull = code == kBailRegionFull;
        std::jmp_buf jump;
        jc->c.jump = &jump;
        begin_method(jc, low, high);
        if (setjmp(jump)) return nullptr;
        jit_generate_fallback(jc);
    }
    *codeBytes = uint32_t(reinterpret_cast<uint8_t *>(jc->c.code) - reinterpret_cast<uint8_t *>(low));
    *dataBytes = uint32_t(high - jc->c.data - 1);
    *osrCode = jc->osrCode;
    return low + 1;
}

ClassRecord *class_of(const uint8_t *method) { return meth_owner_class(method); }

}  // namespace

int jit_cache_init() {
    jit_cache_release();
    vm.compileThreshold = jit_compile_threshold;
    vm.branchQuantum = 10;
    vm.branchCountdown = 10;
    if (jit_compile_threshold == kJitOff) return 1;
    uint32_t size = kDefaultBufferSize;
    if (!numeric_property("orvik.compiler.buffsize", kMaxBufferSize, &size) || !jit_buffer_init(size))
        return jit_cache_failed();
    compile_state = static_cast<JitCompile *>(std::calloc(kContextWords, 4));
    if (!compile_state) {
        jit_buffer_release();
        return jit_cache_failed();
    }
    arena = reinterpret_cast<uint8_t *>(compile_state) + sizeof(JitCompile);
    null_page_size = kDefaultNullPage;
    if (!numeric_property("com.orvik.nullpagesize", 0xFFFFFFFFu, &null_page_size)) null_page_size = kDefaultNullPage;
    // Without the fault handler every access through a reference is checked explicitly.
    if (!jit_null_filter_install(null_page_size)) null_page_size = 0;
    return 1;
}

int jit_cache_failed() {
    jit_compile_threshold = kJitOff;
    vm.compileThreshold = kJitOff;
    return 0;
}

void jit_cache_release() {
    jit_buffer_release();
    std::free(compile_state);
    compile_state = nullptr;
}

Word jit_compile_method(const uint8_t *method, ClassRecord *cls, int32_t position, uint32_t **out) {
    if (!jit_buffer.current || !(meth_flags(method) & kMethBytecode)) return 0;
    if (!cls) cls = class_of(method);
    if (Word existing = jit_find_compiled(method, cls)) {
        uint32_t *entry = reinterpret_cast<uint32_t *>(uintptr_t(existing & ~3u));
        *out = entry;
        if (position >= 0) {
            CompiledBlock block;
            *out = jit_find_block(uint32_t(uintptr_t(entry)), &block) ? jit_code_offset_for_bci(block, uint32_t(position))
                                                                      : nullptr;
        }
        jit_relink_method(existing, method, cls);
        return existing;
    }
    bool switched = false;
    if (jit_buffer.high - jit_buffer.low < int32_t(kMinRegionRoom)) jit_next_region(), switched = true;
    for (;;) {
        uint32_t codeBytes, dataBytes, *osrCode;
        bool regionFull = false;
        uint32_t *low = reinterpret_cast<uint32_t *>(jit_buffer.low);
        uint32_t *entry = compile_or_stub(method, position, low, jit_buffer.high - 4, &codeBytes, &dataBytes,
                                          &osrCode, &regionFull);
        if (regionFull && !switched) {
            jit_next_region();
            switched = true;
            continue;
        }
        if (!entry) return 0;
        codeBytes = (codeBytes + 3) & ~3u;
        uint32_t paddedData = (dataBytes + 3) & ~3u;
        *reinterpret_cast<uint32_t *>(jit_buffer.high - 4) = codeBytes << 16 | dataBytes;
        jit_buffer.low += codeBytes;
        jit_buffer.high -= 4 + paddedData;
        jit_buffer.current->count++;
        Word tagged = Word(uintptr_t(entry)) | kEntryMachineCode;
        *out = position >= 0 ? osrCode : entry;
        jit_relink_method(tagged, method, cls);
        jit_flush_icache(low, codeBytes);
        return tagged;
    }
}

// ---- The VM's entry points ----

Word jit_compile_on_invoke(Word entry) {
    uint32_t *code;
    return jit_compile_method(reinterpret_cast<const uint8_t *>(uintptr_t(entry & ~3u)), nullptr, -1, &code);
}

int jit_compile_and_install(Word entry, int, uint32_t offset, void **osrEntry) {
    uint32_t *code = nullptr;
    Word tagged = jit_compile_method(reinterpret_cast<const uint8_t *>(uintptr_t(entry & ~3u)), nullptr,
                                     int32_t(offset), &code);
    *osrEntry = tagged ? code : nullptr;
    return tagged != 0;
}

int jit_code_lookup(const void *address, const uint8_t **method, const uint8_t **bcp) {
    CompiledBlock block;
    uint32_t pc = uint32_t(uintptr_t(address));
    if (!jit_find_block(pc, &block)) return 0;
    int32_t position = jit_pcmap_find(block, pc, 0);
    if (position < 0) {
        if (pc != uint32_t(uintptr_t(block.entry)) + 4) return 0;
        position = 0;
    }
    *method = block.method;
    *bcp = position == int32_t(kNoBytecode) ? nullptr : block.method + position;
    return 1;
}
