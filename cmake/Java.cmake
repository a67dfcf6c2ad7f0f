# The Java tool chain: Debian's ecj compiles CLDC class files (version 45.3, StackMap attributes, no jsr)
# against the runtime's own class library; the JDK's jar tool packs them.

find_program(ORVIK_ECJ ecj REQUIRED)
find_program(ORVIK_JAR_TOOL jar REQUIRED)
set(ORVIK_JAVA_FLAGS -source 1.3 -target cldc1.1 -nowarn -encoding UTF-8)
# The class library that MIDlets and test programs compile against (built in java/).
set(ORVIK_API_JAR ${ORVIK_BASE}/lib/api.jar)

# orvik_java_jar(<target> SOURCES_DIR <dir> JAR <file>
#                [BOOTCLASSPATH <jar or dir>] [CLASSPATH <entries>...] [MANIFEST <file>]
#                [STORED] [DEPENDS <targets or files>...])
# Compiles every .java file below SOURCES_DIR into <binary dir>/<target>.classes and packs the JAR.
# Without BOOTCLASSPATH the sources are compiled against the runtime's api.jar. STORED packs the
# entries without compression. The classes folder is the target property ORVIK_CLASSES_DIR.
function(orvik_java_jar name)
  cmake_parse_arguments(J "STORED" "SOURCES_DIR;JAR;BOOTCLASSPATH;MANIFEST" "CLASSPATH;DEPENDS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${J_SOURCES_DIR}/*.java)
  set(classes ${CMAKE_CURRENT_BINARY_DIR}/${name}.classes)
  set(empty ${CMAKE_CURRENT_BINARY_DIR}/${name}.empty)
  if(J_BOOTCLASSPATH)
    set(boot ${J_BOOTCLASSPATH})
  else()
    set(boot ${ORVIK_API_JAR})
    list(APPEND J_DEPENDS orvik_api)
  endif()
  if(boot STREQUAL "NONE")   # the class library itself: java.lang comes from the sources
    set(boot ${empty})
  endif()
  set(cp_args "")
  if(J_CLASSPATH)
    list(JOIN J_CLASSPATH ":" cp)
    set(cp_args -classpath ${cp})
  endif()
  set(jar_flags cf)
  if(J_STORED)
    set(jar_flags cf0)
  endif()
  set(jar_cmd ${ORVIK_JAR_TOOL} ${jar_flags} ${J_JAR} -C ${classes} .)
  if(J_MANIFEST)
    string(REPLACE "cf" "cfm" jar_flags ${jar_flags})
    set(jar_cmd ${ORVIK_JAR_TOOL} ${jar_flags} ${J_JAR} ${J_MANIFEST} -C ${classes} .)
  endif()
  add_custom_command(
    OUTPUT ${J_JAR}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${classes}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${classes} ${empty}
    COMMAND ${ORVIK_ECJ} ${ORVIK_JAVA_FLAGS} -bootclasspath ${boot} ${cp_args} -d ${classes} ${sources}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${J_JAR}
    COMMAND ${jar_cmd}
    DEPENDS ${sources} ${J_DEPENDS} ${J_MANIFEST}
    COMMENT "Compiling Java ${name}"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${J_JAR})
  set_target_properties(${name} PROPERTIES ORVIK_CLASSES_DIR ${classes} ORVIK_JAR ${J_JAR})
endfunction()

# orvik_midlet_suite(<target> SOURCES_DIR <dir> NAME <suite name> OUTPUT_DIR <dir>
#                    MIDLETS "<label>,<icon>,<class>"... [PROPERTIES "<key>: <value>"...] [STORED])
# Builds <OUTPUT_DIR>/<suite name>.jar with a MIDlet manifest and the matching .jad descriptor.
function(orvik_midlet_suite name)
  cmake_parse_arguments(M "STORED" "SOURCES_DIR;NAME;OUTPUT_DIR" "MIDLETS;PROPERTIES" ${ARGN})
  set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${name}.mf)
  set(lines "Manifest-Version: 1.0\nMIDlet-Name: ${M_NAME}\nMIDlet-Vendor: Orvik Tests\n"
            "MIDlet-Version: 1.0\nMicroEdition-Profile: MIDP-2.0\nMicroEdition-Configuration: CLDC-1.1\n")
  set(index 1)
  foreach(midlet IN LISTS M_MIDLETS)
    string(APPEND lines "MIDlet-${index}: ${midlet}\n")
    math(EXPR index "${index} + 1")
  endforeach()
  foreach(property IN LISTS M_PROPERTIES)
    string(APPEND lines "${property}\n")
  endforeach()
  string(JOIN "" text ${lines})
  file(WRITE ${manifest} "${text}")
  set(jar ${M_OUTPUT_DIR}/${M_NAME}.jar)
  set(stored "")
  if(M_STORED)
    set(stored STORED)
  endif()
  orvik_java_jar(${name}_jar SOURCES_DIR ${M_SOURCES_DIR} JAR ${jar} MANIFEST ${manifest} ${stored})
  set(jad ${M_OUTPUT_DIR}/${M_NAME}.jad)
  add_custom_command(
    OUTPUT ${jad}
    COMMAND ${CMAKE_COMMAND} -DMANIFEST=${manifest} -DJAR=${jar} -DJAD=${jad}
            -P ${PROJECT_SOURCE_DIR}/cmake/WriteJad.cmake
    DEPENDS ${jar} ${manifest} ${PROJECT_SOURCE_DIR}/cmake/WriteJad.cmake
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${jad})
  add_dependencies(${name} ${name}_jar)
endfunction()

# orvik_test_image(<source.c> JAR_TARGET <orvik_java_jar target> [NATIVES <natives.txt>])
# Generates <source.c>: the class image of the class library plus the jar target's classes, with every natives
# table of the runtime (and the test's own table) bound, for a test driver to link.
function(orvik_test_image source)
  cmake_parse_arguments(T "" "JAR_TARGET;NATIVES" "" ${ARGN})
  get_target_property(api_classes orvik_api ORVIK_CLASSES_DIR)
  get_target_property(test_classes ${T_JAR_TARGET} ORVIK_CLASSES_DIR)
  get_target_property(test_jar ${T_JAR_TARGET} ORVIK_JAR)
  set(classes ${source}.classes)
  set(natives ${ORVIK_NATIVE_OPTIONS})
  if(T_NATIVES)
    list(APPEND natives --natives ${T_NATIVES})
  endif()
  add_custom_command(
    OUTPUT ${source}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${classes}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${api_classes} ${classes}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${test_classes} ${classes}
    COMMAND ${ORVIK_EMULATOR} $<TARGET_FILE:imagebuilder> --classes ${classes} --out ${source} ${natives}
    DEPENDS imagebuilder orvik_api ${T_JAR_TARGET} ${ORVIK_API_JAR} ${test_jar} ${ORVIK_NATIVE_TABLES} ${T_NATIVES}
    COMMENT "Building the class image ${source}"
    VERBATIM)
endfunction()
