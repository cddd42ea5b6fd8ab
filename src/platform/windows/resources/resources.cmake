# The resources every shipped Windows program carries: a version resource and an embedded
# application manifest, both made from the project's version.
#
#   korvi_windows_resources(<target> DESCRIPTION <text> [MANIFEST <file>])
#
# MANIFEST replaces the shipped manifest (application.manifest.in) with another file, for a
# test bed's own build of a program; the version resource stays the same.
set(KORVI_RESOURCES_DIR ${CMAKE_CURRENT_LIST_DIR} CACHE INTERNAL "Templates of the Windows programs' resources")

function(korvi_windows_resources target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "DESCRIPTION;MANIFEST" "")
  if(NOT arg_DESCRIPTION OR arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "korvi_windows_resources(${target}): expected DESCRIPTION <text> [MANIFEST <file>]")
  endif()
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  set(KORVI_RC_INTERNAL_NAME ${output_name})
  set(KORVI_RC_FILE_NAME ${output_name}.exe)
  set(KORVI_RC_DESCRIPTION "${arg_DESCRIPTION}")
  # Windows' versions have four parts; the project's has three.
  set(KORVI_RC_VERSION_DOTTED ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
  set(KORVI_RC_VERSION_COMMAS ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0)

  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources)
  if(arg_MANIFEST)
    set(KORVI_RC_MANIFEST ${arg_MANIFEST})
  else()
    set(KORVI_RC_MANIFEST ${dir}/${KORVI_RC_FILE_NAME}.manifest)
    configure_file(${KORVI_RESOURCES_DIR}/application.manifest.in ${KORVI_RC_MANIFEST} @ONLY)
  endif()
  configure_file(${KORVI_RESOURCES_DIR}/resources.rc.in ${dir}/resources.rc @ONLY)
  # The compiler of resources does not report the files it embeds.
  set_source_files_properties(${dir}/resources.rc PROPERTIES OBJECT_DEPENDS ${KORVI_RC_MANIFEST})
  target_sources(${target} PRIVATE ${dir}/resources.rc)
  if(MSVC)
    # Its linker would embed a manifest of its own as resource 1 too, and two clash.
    target_link_options(${target} PRIVATE /MANIFEST:NO)
  endif()
endfunction()
