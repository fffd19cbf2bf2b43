# Builds every layering probe (build/layer_probes/probes.txt: a file that includes a
# header of a folder its layer may not use) and passes only when each fails for that
# include; then links every library whole with only the layers it may use.
# Usage: cmake -DBUILD_DIR=... -P check.cmake
file(STRINGS ${BUILD_DIR}/layer_probes/probes.txt probes)
set(targets "")
foreach(probe ${probes})
  string(REPLACE " " ";" fields ${probe})
  list(GET fields 0 target)
  list(APPEND targets ${target})
endforeach()
list(LENGTH targets count)
# One build of them all, going on after each failure.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${targets} -- -k 0
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(log "${out}${err}")
set(failures 0)
foreach(probe ${probes})
  string(REPLACE " " ";" fields ${probe})
  list(GET fields 0 target)
  list(GET fields 1 header)
  string(REGEX REPLACE "^layer_probe_" "" name ${target})
  string(REGEX MATCH "${name}\\.cpp:[0-9]+:[0-9]+: fatal error: ${header}: No such file or directory"
         found "${log}")
  if(NOT found)
    message(SEND_ERROR "${target} did not fail for its include of ${header}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
if(result EQUAL 0)
  message(SEND_ERROR "The probes built: a layer could include a folder it may not use")
  math(EXPR failures "${failures} + 1")
endif()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} of ${count} layering probes did not fail as they must:\n${log}")
endif()
message(STATUS "${count} probes: every include of a folder a layer may not use fails to build")

execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target dropkit_link_checks
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "A library calls into a layer it may not use:\n${out}${err}")
endif()
message(STATUS "Every library links with only the layers it may use")
