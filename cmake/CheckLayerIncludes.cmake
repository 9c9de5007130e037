# Fails when a file of the layer in FOLDER includes a header by a path with ".." in it or by an
# absolute path: either reaches past the layer's include root to any folder of the source
# tree. Touches STAMP when there is none.
file(GLOB_RECURSE files ${FOLDER}/*.h ${FOLDER}/*.cpp)
set(found "")
foreach(file IN LISTS files)
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<](/|[^\">]*\\.\\.)")
  foreach(line IN LISTS lines)
    string(APPEND found "  ${file}: ${line}\n")
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "Includes that get around the layers (include by path from the source "
                      "root):\n${found}")
endif()
file(TOUCH ${STAMP})
