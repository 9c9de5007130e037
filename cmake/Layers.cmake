# Layers: folders of code whose build sees only their own headers and those of the layers
# below them, so that an include of a layer above fails to compile.
#
# qv_layer(<folder> [SOURCES <file>...] [DEPS <folder>...])
#
# Makes the folder (a path from the source root, "platform/ui" or "forms") a layer: an OBJECT
# library named after the folder with "_" for "/" ("platform_ui"), or an INTERFACE library
# when it has no sources (headers only). SOURCES are named relative to the folder; DEPS are
# the folders of the layers it includes from, which must be made layers first.
#
# A layer's code includes by path from the source root ("platform/ui/Wnd.h"). The only include
# root a layer adds is its own staging folder, <build>/layers/<name>, which holds the folder
# by its path (a link to the source folder) and nothing else; linking DEPS brings their roots
# with them. So a header of a folder that is not below the layer is not found. An include by
# a path with ".." in it, or an absolute one, would get around this: building the layer fails
# on one (cmake/CheckLayerIncludes.cmake).
#
# The code that is not in a layer yet links qv_unlayered, which sees the whole source tree.

set(QV_LAYER_CHECK ${CMAKE_CURRENT_LIST_DIR}/CheckLayerIncludes.cmake)

add_library(qv_unlayered INTERFACE)
target_include_directories(qv_unlayered INTERFACE ${CMAKE_SOURCE_DIR})

function(qv_layer_target out folder)
  string(REPLACE "/" "_" name "${folder}")
  set(${out} ${name} PARENT_SCOPE)
endfunction()

function(qv_layer folder)
  cmake_parse_arguments(PARSE_ARGV 1 LAYER "" "" "SOURCES;DEPS")
  if(LAYER_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "qv_layer(${folder}): unknown arguments ${LAYER_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT IS_DIRECTORY ${CMAKE_SOURCE_DIR}/${folder})
    message(FATAL_ERROR "qv_layer(${folder}): no such folder")
  endif()
  qv_layer_target(name ${folder})

  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)

  set(deps)
  foreach(dep IN LISTS LAYER_DEPS)
    qv_layer_target(dep_name ${dep})
    if(NOT TARGET ${dep_name})
      message(FATAL_ERROR "qv_layer(${folder}): the layer ${dep} is not made yet")
    endif()
    list(APPEND deps ${dep_name})
  endforeach()

  if(NOT LAYER_SOURCES)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${root})
    target_link_libraries(${name} INTERFACE ${deps})
  else()
    list(TRANSFORM LAYER_SOURCES PREPEND ${folder}/)
    add_library(${name} OBJECT ${LAYER_SOURCES})
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    target_include_directories(${name} PUBLIC ${root})
    target_link_libraries(${name} PUBLIC ${deps})
  endif()

  # The check of the folder's includes runs whenever one of its files changes.
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.h
       ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  set(stamp ${root}/includes.checked)
  add_custom_command(OUTPUT ${stamp}
                     COMMAND ${CMAKE_COMMAND} -DFOLDER=${CMAKE_SOURCE_DIR}/${folder}
                             -DSTAMP=${stamp} -P ${QV_LAYER_CHECK}
                     DEPENDS ${files} ${QV_LAYER_CHECK}
                     COMMENT "Checking the includes of ${folder}" VERBATIM)
  add_custom_target(${name}_includes DEPENDS ${stamp})
  add_dependencies(${name} ${name}_includes)
endfunction()
