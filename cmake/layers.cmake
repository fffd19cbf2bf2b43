# The layers of the program: each is a target built from the files of one folder, that
# may use only the layers it names (and, through them, theirs). dropkit_layer() makes
# the target and derives both its include path and its link dependencies from that one
# list; dropkit_layer_probes() writes a probe for every folder a layer may not use.
#
# A layer sees headers through a folder of links (build/layers/<layer>) holding its own
# headers and those of the layers it may use, each layer's headers only (gui/ does not
# bring gui/qt/; in shell/, the batch command does not see the window program's
# registry), so a file that includes a header of another layer fails to build. Its link
# dependencies are the same layers; a link check (dropkit_link_checks) links each library
# whole with nothing else, so that a call into a layer it may not use fails to link even
# where no header was included.

set(DROPKIT_LAYERS ${CMAKE_BINARY_DIR}/layers)
set_property(GLOBAL PROPERTY DROPKIT_LAYER_LIST "")

# dropkit_layer(NAME FOLDER dir [KIND STATIC|OBJECT|EXECUTABLE] [OUTPUT name]
#               [FILES f...] [USES layer...] [LINK target...] [PRIVATE_LINK target...]
#               [SYSTEM_INCLUDES dir...] [SELF_INCLUDED file...])
# FILES (relative to FOLDER) default to every .cpp of the folder but tests, programs
# (*_main.cpp) and window-system factories (*_factory.cpp). A layer's headers are those
# of its folder; where FILES are named (a folder shared by several layers), only the
# headers of its files (x.h for x.cpp) and those of no file of the folder. SELF_INCLUDED files of the
# folder are seen by the layer itself (a source that includes itself once per target
# processor, as Highway's dispatch does). The target is dropkit_NAME,
# or OUTPUT for an executable.
function(dropkit_layer name)
  cmake_parse_arguments(L "" "FOLDER;KIND;OUTPUT"
                        "FILES;USES;LINK;PRIVATE_LINK;SYSTEM_INCLUDES;SELF_INCLUDED" ${ARGN})
  if(NOT L_KIND)
    set(L_KIND STATIC)
  endif()
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${L_FOLDER}/*.h)
  if(L_FILES)
    list(TRANSFORM L_FILES PREPEND ${CMAKE_SOURCE_DIR}/${L_FOLDER}/)
    foreach(header ${headers})
      get_filename_component(stem ${header} NAME_WE)
      set(source ${CMAKE_SOURCE_DIR}/${L_FOLDER}/${stem}.cpp)
      if(EXISTS ${source} AND NOT source IN_LIST L_FILES)
        list(REMOVE_ITEM headers ${header})
      endif()
    endforeach()
  else()
    file(GLOB L_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${L_FOLDER}/*.cpp)
    list(FILTER L_FILES EXCLUDE REGEX "(_test|_main|_factory)\\.cpp$")
  endif()
  # The folders this layer sees: its own and those of every layer below it.
  set(folders ${L_FOLDER})
  set(closure "")
  foreach(use ${L_USES})
    get_property(below GLOBAL PROPERTY DROPKIT_LAYER_${use}_CLOSURE)
    get_property(exists GLOBAL PROPERTY DROPKIT_LAYER_${use}_FOLDER SET)
    if(NOT exists)
      message(FATAL_ERROR "Layer ${name} uses ${use}, which is not declared before it")
    endif()
    list(APPEND closure ${use} ${below})
  endforeach()
  list(REMOVE_DUPLICATES closure)
  foreach(use ${closure})
    get_property(folder GLOBAL PROPERTY DROPKIT_LAYER_${use}_FOLDER)
    list(APPEND folders ${folder})
  endforeach()
  list(REMOVE_DUPLICATES folders)
  set_property(GLOBAL PROPERTY DROPKIT_LAYER_${name}_FOLDER ${L_FOLDER})
  set_property(GLOBAL PROPERTY DROPKIT_LAYER_${name}_HEADERS ${headers})
  set_property(GLOBAL PROPERTY DROPKIT_LAYER_${name}_CLOSURE ${closure})
  set_property(GLOBAL PROPERTY DROPKIT_LAYER_${name}_FOLDERS ${folders})
  set_property(GLOBAL PROPERTY DROPKIT_LAYER_${name}_KIND ${L_KIND})
  set_property(GLOBAL APPEND PROPERTY DROPKIT_LAYER_LIST ${name})

  set(include_dir ${DROPKIT_LAYERS}/${name})
  file(REMOVE_RECURSE ${include_dir})
  foreach(layer ${name} ${closure})
    get_property(folder GLOBAL PROPERTY DROPKIT_LAYER_${layer}_FOLDER)
    get_property(layer_headers GLOBAL PROPERTY DROPKIT_LAYER_${layer}_HEADERS)
    file(MAKE_DIRECTORY ${include_dir}/${folder})
    foreach(header ${layer_headers})
      get_filename_component(file ${header} NAME)
      file(CREATE_LINK ${header} ${include_dir}/${folder}/${file} SYMBOLIC)
    endforeach()
  endforeach()

  foreach(file ${L_SELF_INCLUDED})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${L_FOLDER}/${file} ${include_dir}/${L_FOLDER}/${file}
         SYMBOLIC)
  endforeach()

  if(L_KIND STREQUAL "EXECUTABLE")
    set(target ${L_OUTPUT})
    add_executable(${target} ${L_FILES})
    set(scope PRIVATE)
  else()
    set(target dropkit_${name})
    add_library(${target} ${L_KIND} ${L_FILES})
    set(scope PUBLIC)
  endif()
  set_property(GLOBAL PROPERTY DROPKIT_LAYER_${name}_TARGET ${target})
  # Its own include path only: the layers it uses give theirs to nobody.
  target_include_directories(${target} PRIVATE ${include_dir})
  foreach(use ${L_USES})
    get_property(used GLOBAL PROPERTY DROPKIT_LAYER_${use}_TARGET)
    target_link_libraries(${target} ${scope} ${used})
  endforeach()
  if(L_LINK)
    target_link_libraries(${target} ${scope} ${L_LINK})
  endif()
  if(L_PRIVATE_LINK)
    target_link_libraries(${target} PRIVATE ${L_PRIVATE_LINK})
  endif()
  if(L_SYSTEM_INCLUDES)
    target_include_directories(${target} SYSTEM PRIVATE ${L_SYSTEM_INCLUDES})
  endif()
endfunction()

# Writes, for every layer and every other layer it may not use, a probe: a file that
# includes a header of that layer, compiled with the layer's include path.
# Each probe is a target of its own, out of the default build; the test
# Layering.EveryForbiddenEdgeFailsToBuild builds them all and passes only when each
# fails for its include. It also makes dropkit_link_checks: each library linked whole
# into a program of its own with only the layers it may use.
function(dropkit_layer_probes)
  get_property(layers GLOBAL PROPERTY DROPKIT_LAYER_LIST)
  set(all_folders "")
  foreach(layer ${layers})
    get_property(folder GLOBAL PROPERTY DROPKIT_LAYER_${layer}_FOLDER)
    list(APPEND all_folders ${folder})
  endforeach()
  list(REMOVE_DUPLICATES all_folders)
  set(probe_dir ${CMAKE_BINARY_DIR}/layer_probes)
  file(REMOVE_RECURSE ${probe_dir})
  set(list_file "")
  set(probe_targets "")
  foreach(layer ${layers})
    get_property(closure GLOBAL PROPERTY DROPKIT_LAYER_${layer}_CLOSURE)
    set(seen "")
    foreach(visible ${layer} ${closure})
      get_property(visible_headers GLOBAL PROPERTY DROPKIT_LAYER_${visible}_HEADERS)
      list(APPEND seen ${visible_headers})
    endforeach()
    foreach(other ${layers})
      if(other STREQUAL layer OR other IN_LIST closure)
        continue()
      endif()
      get_property(headers GLOBAL PROPERTY DROPKIT_LAYER_${other}_HEADERS)
      list(REMOVE_ITEM headers ${seen})
      if(NOT headers)
        continue()
      endif()
      list(GET headers 0 header)
      get_filename_component(header ${header} NAME)
      get_property(folder GLOBAL PROPERTY DROPKIT_LAYER_${other}_FOLDER)
      set(probe ${probe_dir}/${layer}_uses_${other}.cpp)
      file(WRITE ${probe} "// ${layer} may not use ${other} (${folder}/): this must not build.\n"
                          "#include \"${folder}/${header}\"\n")
      set(target layer_probe_${layer}_uses_${other})
      add_library(${target} OBJECT EXCLUDE_FROM_ALL ${probe})
      target_include_directories(${target} PRIVATE ${DROPKIT_LAYERS}/${layer})
      list(APPEND probe_targets ${target})
      string(APPEND list_file "${target} ${folder}/${header}\n")
    endforeach()
  endforeach()
  file(WRITE ${probe_dir}/probes.txt ${list_file})
  list(JOIN all_folders "\n" folder_lines)
  file(WRITE ${probe_dir}/folders.txt "${folder_lines}\n")
  add_custom_target(dropkit_layer_probes)
  add_dependencies(dropkit_layer_probes ${probe_targets})

  # The link checks: every library, linked whole, resolves against its layers alone.
  set(main ${probe_dir}/link_check_main.cpp)
  file(WRITE ${main} "int main() { return 0; }\n")
  add_custom_target(dropkit_link_checks)
  foreach(layer ${layers})
    get_property(kind GLOBAL PROPERTY DROPKIT_LAYER_${layer}_KIND)
    if(kind STREQUAL "EXECUTABLE")
      continue()  # linked for real
    endif()
    get_property(target GLOBAL PROPERTY DROPKIT_LAYER_${layer}_TARGET)
    set(check link_check_${layer})
    add_executable(${check} EXCLUDE_FROM_ALL ${main})
    if(kind STREQUAL "OBJECT")  # its objects are linked whole as they are
      target_link_libraries(${check} PRIVATE ${target})
    else()
      target_link_libraries(${check} PRIVATE -Wl,--whole-archive $<TARGET_FILE:${target}>
                            -Wl,--no-whole-archive ${target})
    endif()
    # A window system is chosen by each program; the checks take the headless one.
    get_property(closure GLOBAL PROPERTY DROPKIT_LAYER_${layer}_CLOSURE)
    if(("gui" IN_LIST closure OR layer STREQUAL "gui") AND NOT layer MATCHES "_factory$")
      target_link_libraries(${check} PRIVATE dropkit_headless_factory)
    endif()
    add_dependencies(dropkit_link_checks ${check})
  endforeach()
endfunction()
