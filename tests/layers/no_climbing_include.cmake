# cmake -DSOURCES=<folder> -P no_climbing_include.cmake: fails, naming each file and line, when a
# source under the folder includes a path that climbs out of its own folder ("../").
file(GLOB_RECURSE files ${SOURCES}/*.h ${SOURCES}/*.cpp ${SOURCES}/*.in)
set(found)
foreach(file IN LISTS files)
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*\\.\\./")
  foreach(line IN LISTS lines)
    list(APPEND found "${file}: ${line}")
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n  " found)
  message(FATAL_ERROR "Includes that climb out of their folder, around the layers' include roots:\n  ${found}")
endif()
