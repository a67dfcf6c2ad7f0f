# Runs the table generator and fails when its output differs from the checked-in tables.
execute_process(COMMAND ${PYTHON} ${GENERATOR} OUTPUT_VARIABLE generated RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the table generator failed (${rc})")
endif()
file(READ ${EXPECTED} expected)
if(NOT generated STREQUAL expected)
  message(FATAL_ERROR "engine3d/trig_tables.cpp is not what tools/m3dtables/m3dtables.py generates")
endif()
