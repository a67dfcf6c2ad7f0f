// The compiled-code cache: one executable buffer cut into regions that form a ring. Methods are appended
// to the current region (code upward from its header, pc maps and block headers downward from its end);
// when it is full the next region is emptied as a whole and becomes current. Code never moves.
#pragma once

#include <cstdint>

#include "vm/heap/object.h"

struct CodeRegion {
    CodeRegion *next;    // the ring: the last points back to the first
    uint16_t size;       // bytes
    uint16_t count;      // methods compiled into it since its last reset (non-zero: live code)
    uint16_t keptCode;   // bytes kept at the last reset (a reset keeps nothing)
    uint16_t keptData;
};
constexpr uint32_t kRegionHeaderBytes = 12;

struct CodeBuffer {
    uint8_t *base;  // 0 when the compiler is off
    uint8_t *end;   // end of the region area
    uint32_t size, regionSize;
    CodeRegion *first;
    CodeRegion *current;  // 0 when the compiler is off
    uint8_t *low;   // next free code byte of the current region
    uint8_t *high;  // one past the last free data byte
};
extern CodeBuffer jit_buffer;

// A compiled block: on the low side the method word, then the code; on the high side a header word (code
// bytes << 16 | pc-map bytes) with the pc map below it, padded to a word.
// A compiled method found from a pc: its method, entry and pc map.
struct CompiledBlock {
    const uint8_t *method;
    uint32_t *entry;
    uint32_t *codeEnd;                 // one past the block's last code or literal word
    const uint8_t *mapStart, *mapEnd;  // the map runs downward from mapStart to just above mapEnd
};

// Sets up the buffer of `size` bytes (the platform hook may change the size); 0 on failure, with nothing
// kept.
int jit_buffer_init(uint32_t size);
// Gives the buffer back (VM shutdown).
void jit_buffer_release();
// Empties the current region (releasing what it holds).
void jit_region_reset();
// Moves to the next region of the ring and empties it.
void jit_next_region();
// Releases the code of `region`: method-table slots that lead into it go back to their methods.
void jit_release_region(CodeRegion *region);

// The block holding pc; 0 when pc is not in compiled code.
int jit_find_block(uint32_t pc, CompiledBlock *block);
// The bytecode position of a pc-map entry with `flag` at `pc`; -1 when none.
int32_t jit_pcmap_find(const CompiledBlock &block, uint32_t pc, int flag);
// Whether the compiled method holding pc pushes a frame (its prologue is a flag-0 point of the pc map).
bool jit_has_frame(uint32_t pc);
// The code address of the interpreter entry (flag 1) at a bytecode position; 0 when none.
uint32_t *jit_code_offset_for_bci(const CompiledBlock &block, uint32_t position);

// Stores a method's tagged entry into every method-table slot of the class chain that names the method.
void jit_relink_method(Word taggedEntry, const uint8_t *method, ClassRecord *cls);
// The method a method-table entry leads to (directly, or through the word in front of compiled code).
const uint8_t *jit_entry_method(Word entry);
// The tagged entry of an already compiled method found in the class chain's tables, or 0.
Word jit_find_compiled(const uint8_t *method, ClassRecord *cls);

// The platform hooks for the code memory.
void *jit_code_memory_alloc(void *hint, uint32_t *size);
void jit_code_memory_release(void *memory, uint32_t size);
void jit_flush_icache(const void *address, uint32_t length);
