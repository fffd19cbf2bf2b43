# Builds the layering probes, each a file that includes a header of a layer above its
# own, and passes only when every probe fails for that include.
# Usage: cmake -DBUILD_DIR=... -P check.cmake
set(probes layering_probe_platform:window/dropkit.h layering_probe_frame:generator/randlist.h
           layering_probe_module:shell/registry.h)
set(failures 0)
foreach(probe ${probes})
  string(REPLACE ":" ";" fields ${probe})
  list(GET fields 0 target)
  list(GET fields 1 header)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(result EQUAL 0)
    message(SEND_ERROR "${target} built: a layer could include ${header} from above it")
    math(EXPR failures "${failures} + 1")
  elseif(NOT "${out}${err}" MATCHES "${header}: No such file or directory")
    message(SEND_ERROR "${target} failed for another reason than the include of ${header}:\n${out}${err}")
    math(EXPR failures "${failures} + 1")
  else()
    message(STATUS "${target}: including ${header} from below fails to build, as it must")
  endif()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} layering probe(s) did not fail as they must")
endif()
