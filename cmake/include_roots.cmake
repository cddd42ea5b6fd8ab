# Each layer's headers are reachable only through the layer's own include root: a folder in the
# build tree that holds one symbolic link, <folder> -> src/<folder>. So an include is written
# as it is found under src/ ("cellular/modem_platform.h"), and it compiles only in a target
# that links the layer it names; an include of a higher layer's header is "not found".
#
#   korvi_include_root(<target> <folder under src/>)
#
# Where the build cannot make symbolic links (Windows without the right to), the root is all of
# src/: the build works, and the Linux build is the one that refuses an uphill include.
function(korvi_include_root target folder)
  get_target_property(type ${target} TYPE)
  set(scope PUBLIC)
  if(type STREQUAL "INTERFACE_LIBRARY")
    set(scope INTERFACE)
  endif()
  set(root ${PROJECT_BINARY_DIR}/include-roots/${target})
  set(link ${root}/${folder})
  cmake_path(GET link PARENT_PATH parent)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${link} SYMBOLIC RESULT failed)
  if(failed)
    get_property(warned GLOBAL PROPERTY korvi_include_roots_shared)
    if(NOT warned)
      message(WARNING "Cannot make ${link} (${failed}): every layer sees all of src/ in this build, "
                      "so an uphill include compiles here")
      set_property(GLOBAL PROPERTY korvi_include_roots_shared ON)
    endif()
    target_include_directories(${target} ${scope} ${PROJECT_SOURCE_DIR}/src)
  else()
    target_include_directories(${target} ${scope} ${root})
  endif()
endfunction()
