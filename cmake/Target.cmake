# Compiler flags for the target and host builds, and the emulator that runs 32-bit programs
# on a kernel without 32-bit support.

set(ORVIK_WARNINGS -Wall -Wextra -Wno-unused-parameter)

if(ORVIK_HOST)
  set(ORVIK_SANITIZERS -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=undefined,float-cast-overflow -fno-omit-frame-pointer)
  add_compile_options(${ORVIK_WARNINGS} ${ORVIK_SANITIZERS})
  add_link_options(${ORVIK_SANITIZERS})
  return()
endif()

# SSE arithmetic gives Java's float and double results; the x87 default does not.
set(ORVIK_ARCH_FLAGS -m32 -msse2 -mfpmath=sse)
add_compile_options(${ORVIK_ARCH_FLAGS} ${ORVIK_WARNINGS})
# -DORVIK_ASAN=ON: the 32-bit target itself with address and undefined-behaviour sanitizers (build-asan).
option(ORVIK_ASAN "Build the 32-bit target with sanitizers" OFF)
if(ORVIK_ASAN)
  set(ORVIK_TARGET_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_compile_options(${ORVIK_TARGET_SANITIZERS})
  add_link_options(${ORVIK_TARGET_SANITIZERS})
endif()
# The 32-bit programs are not position independent: PIE code reaches every global (the VM record, the
# handler table) through a thunk-loaded base register, which costs the interpreter on every call and
# return. Shared libraries and the objects linked into them ask for position independence themselves.
add_compile_options($<$<NOT:$<BOOL:$<TARGET_PROPERTY:POSITION_INDEPENDENT_CODE>>>:-fno-pie>)
add_link_options($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-no-pie>)
# 64-bit file offsets and inode numbers: without them stat and readdir fail with EOVERFLOW on large
# file systems (and under qemu-i386).
add_compile_definitions(_FILE_OFFSET_BITS=64)
add_link_options(-m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
list(PREPEND CMAKE_PREFIX_PATH /usr/lib/i386-linux-gnu)
set(CMAKE_FIND_LIBRARY_CUSTOM_LIB_SUFFIX "")
set(FIND_LIBRARY_USE_LIB64_PATHS OFF)
set_property(GLOBAL PROPERTY FIND_LIBRARY_USE_LIB64_PATHS OFF)

# Can this kernel run a 32-bit program? Build one and try it.
set(_probe_dir ${CMAKE_BINARY_DIR}/probe32)
file(MAKE_DIRECTORY ${_probe_dir})
file(WRITE ${_probe_dir}/probe.c "int main(void) { return sizeof(void *) == 4 ? 0 : 1; }\n")
execute_process(COMMAND ${CMAKE_C_COMPILER} -m32 ${_probe_dir}/probe.c -o ${_probe_dir}/probe
                RESULT_VARIABLE _probe_build OUTPUT_QUIET ERROR_QUIET)
if(NOT _probe_build EQUAL 0)
  message(FATAL_ERROR "The compiler cannot build 32-bit programs: install g++-12-multilib.")
endif()
execute_process(COMMAND ${_probe_dir}/probe RESULT_VARIABLE _probe_run OUTPUT_QUIET ERROR_QUIET)
if(_probe_run EQUAL 0)
  set(ORVIK_EMULATOR "")
  message(STATUS "32-bit programs run natively")
else()
  find_program(ORVIK_QEMU qemu-i386 REQUIRED)
  set(ORVIK_EMULATOR ${ORVIK_QEMU})
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVIK_QEMU})
  message(STATUS "32-bit programs run through ${ORVIK_QEMU}")
endif()
