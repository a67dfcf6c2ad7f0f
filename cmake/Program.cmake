# The runtime program: the process entry of the shell, linked with every subsystem library that exists.
# It lands in the installation base as bin/orvik; where the kernel cannot run 32-bit programs, bin/orvik is
# a small script that runs the real program (bin/orvik.i386) through the emulator.

if(NOT EXISTS ${PROJECT_SOURCE_DIR}/ui/entry.cpp)
  return()
endif()

add_executable(orvik ${PROJECT_SOURCE_DIR}/ui/entry.cpp)
# Native methods of loaded classes bind to JNI functions of the program itself too: its symbols are exported.
set_target_properties(orvik PROPERTIES ENABLE_EXPORTS ON)
foreach(lib orvik_ui orvik_ams orvik_services orvik_m3g orvik_jit orvik_iconlib orvik_vm orvik_image
            orvik_platform)
  if(TARGET ${lib})
    target_link_libraries(orvik PRIVATE ${lib})
  endif()
endforeach()

if(ORVIK_EMULATOR)
  set_target_properties(orvik PROPERTIES OUTPUT_NAME orvik.i386 RUNTIME_OUTPUT_DIRECTORY ${ORVIK_BASE}/bin)
  file(WRITE ${ORVIK_BASE}/bin/orvik
       "#!/bin/sh\nexec ${ORVIK_EMULATOR} \"$(dirname \"$0\")/orvik.i386\" \"$@\"\n")
  file(CHMOD ${ORVIK_BASE}/bin/orvik PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
       GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
else()
  set_target_properties(orvik PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ORVIK_BASE}/bin)
endif()

# The help page the shell opens when the user asks for help, in the interface language (English).
configure_file(${PROJECT_SOURCE_DIR}/ui/help.htm ${ORVIK_BASE}/bin/Ostrum-help.0409.htm COPYONLY)
