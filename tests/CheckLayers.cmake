# The layers of src/, lowest first: a file may include headers of its own folder and of
# folders below it, never of a folder above it. Folders named here that do not exist
# yet keep their place. The document layer is Qt-free, so it stays below the window
# (app) and the command line, which share the top layer.
#
#   cmake -DSOURCE_DIR=<the project's root> -P tests/CheckLayers.cmake
#
# Fails listing every include that goes upwards, and on any folder of src/ that has no
# layer.

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "CheckLayers: give -DSOURCE_DIR=<the project's root>")
endif()

# One entry per layer; folders of one layer are joined by '+'.
set(layers base geometry solver results optimise canvas cad settings document app+window+cli+python+picture)

set(index 0)
foreach(layer IN LISTS layers)
  string(REPLACE "+" ";" folders "${layer}")
  foreach(folder IN LISTS folders)
    set(rank_${folder} ${index})
  endforeach()
  math(EXPR index "${index} + 1")
endforeach()

set(violations "")
file(GLOB folders LIST_DIRECTORIES true RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/*)
foreach(folder IN LISTS folders)
  if(NOT IS_DIRECTORY ${SOURCE_DIR}/src/${folder})
    continue()
  endif()
  if(NOT DEFINED rank_${folder})
    string(APPEND violations "\n  src/${folder}: a folder without a layer; add it to tests/CheckLayers.cmake")
    continue()
  endif()
  file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/src/${folder}/*.h ${SOURCE_DIR}/src/${folder}/*.hpp
       ${SOURCE_DIR}/src/${folder}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      if(NOT line MATCHES "\"([^\"/]+)/[^\"]*\"")
        continue() # a header beside the file
      endif()
      set(target ${CMAKE_MATCH_1})
      if(NOT DEFINED rank_${target})
        continue() # not a folder of src/
      endif()
      if(rank_${target} GREATER rank_${folder})
        string(STRIP "${line}" line)
        string(APPEND violations "\n  ${file}: ${line} (${target} lies above ${folder})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  string(REPLACE ";" " -> " order "${layers}")
  message(FATAL_ERROR "Includes against the layers (${order}):${violations}")
endif()
message(STATUS "Layers: no folder of src/ includes a folder above it")
