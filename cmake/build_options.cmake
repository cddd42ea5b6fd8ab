# The compile and link options of every target built from our sources: each links
# korvi_build_options (PRIVATE), and korvi_check_build_options() at the end of the top-level
# list stops the configuration if one does not. Code that is not ours (googletest built from
# its sources for the Windows tests) keeps its own options. Warnings are errors where the
# preset says so (CMAKE_COMPILE_WARNING_AS_ERROR, set by every preset that CI runs).
add_library(korvi_build_options INTERFACE)
if(MSVC)
  target_compile_options(korvi_build_options INTERFACE /W4 /permissive-)
else()
  target_compile_options(korvi_build_options INTERFACE -Wall -Wextra -Wpedantic)
endif()

if(KORVI_SANITIZE STREQUAL "address+undefined")
  target_compile_options(korvi_build_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                       -fno-sanitize-recover=all)
  target_link_options(korvi_build_options INTERFACE -fsanitize=address,undefined)
elseif(KORVI_SANITIZE STREQUAL "thread")
  target_compile_options(korvi_build_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(korvi_build_options INTERFACE -fsanitize=thread)
elseif(NOT KORVI_SANITIZE STREQUAL "")
  message(FATAL_ERROR "KORVI_SANITIZE must be empty, address+undefined or thread")
endif()

if(KORVI_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KORVI_BUILD_FUZZ needs clang (libFuzzer); use the fuzz preset")
  endif()
  # Coverage feedback from every library the harnesses call into; the harnesses themselves
  # link the fuzzer's main (tests/fuzz).
  target_compile_options(korvi_build_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

# Every target that compiles our sources links korvi_build_options itself: a target that
# forgot would build without the warnings, or without the sanitizer its preset asks for.
function(korvi_check_build_options)
  set(missing)
  set(folders ${PROJECT_SOURCE_DIR})
  while(NOT folders STREQUAL "")
    list(POP_FRONT folders folder)
    get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    foreach(subfolder IN LISTS subfolders)
      cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${subfolder}" ours)
      if(ours)
        list(APPEND folders ${subfolder})
      endif()
    endforeach()
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
        get_target_property(links ${target} LINK_LIBRARIES)
        if(NOT korvi_build_options IN_LIST links)
          file(RELATIVE_PATH where ${PROJECT_SOURCE_DIR} ${folder})
          list(APPEND missing "${target} (${where}/)")
        endif()
      endif()
    endforeach()
  endwhile()
  if(missing)
    list(JOIN missing ", " missing)
    message(FATAL_ERROR "Targets that do not link korvi_build_options: ${missing}")
  endif()
endfunction()
