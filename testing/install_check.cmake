# Installs the build into a fresh folder and checks it: every file in its place, and no
# installed binary holding the path of the source or build tree.
# Usage: cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWITH_QT=ON|OFF -P install_check.cmake
set(prefix ${BUILD_DIR}/install-check)
file(REMOVE_RECURSE ${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
set(expected bin/dropkit-batch share/dropkit/Dropkit.fig share/doc/dropkit/README.md
    share/doc/dropkit/docs/figure-file.md)
if(WITH_QT)
  list(APPEND expected bin/dropkit share/applications/dropkit.desktop
       share/icons/hicolor/scalable/apps/dropkit.svg)
endif()
foreach(file ${expected})
  if(NOT EXISTS ${prefix}/${file})
    message(SEND_ERROR "not installed: ${file}")
  endif()
endforeach()
file(GLOB binaries ${prefix}/bin/*)
foreach(binary ${binaries})
  foreach(tree ${SOURCE_DIR} ${BUILD_DIR})
    file(STRINGS ${binary} hits REGEX "${tree}")
    if(hits)
      list(GET hits 0 first)
      message(SEND_ERROR "${binary} holds the path ${tree}: ${first}")
    endif()
  endforeach()
endforeach()
# The installed batch command runs from anywhere.
execute_process(COMMAND ${prefix}/bin/dropkit-batch ${SOURCE_DIR}/examples/taxa.txt --omit 1
                        --groups 1 --seed 1 --show
                WORKING_DIRECTORY ${prefix} RESULT_VARIABLE result OUTPUT_VARIABLE out
                ERROR_QUIET)
if(NOT result EQUAL 0 OR NOT out MATCHES "Randomized listing of 1 groups to 1 taxa to omit")
  message(SEND_ERROR "the installed dropkit-batch did not run: ${out}")
endif()
file(REMOVE_RECURSE ${prefix})
