# The resources every shipped Windows program carries: a version resource and an embedded
# application manifest, both made from the project's version.
#
#   korvi_windows_resources(<target> DESCRIPTION <text> [MANIFEST <file>])
#
# A notebook maker who ships the programs under its own name sets the version resource's
# strings through cache variables (printable ASCII; the project's own values by default):
#   KORVI_COMPANY_NAME, KORVI_PRODUCT_NAME, KORVI_LEGAL_COPYRIGHT   for every program
#   KORVI_FILE_DESCRIPTION_<program>    one program's FileDescription (DESCRIPTION by default),
#                                       e.g. KORVI_FILE_DESCRIPTION_korvi-sar
#
# MANIFEST replaces the shipped manifest (application.manifest.in) with another file, for a
# test bed's own build of a program; the version resource stays the same.
set(KORVI_RESOURCES_DIR ${CMAKE_CURRENT_LIST_DIR} CACHE INTERNAL "Templates of the Windows programs' resources")
set(KORVI_COMPANY_NAME "the korvi-sar authors" CACHE STRING "CompanyName in the programs' version resource")
set(KORVI_PRODUCT_NAME "korvi-sar" CACHE STRING "ProductName in the programs' version resource")
set(KORVI_LEGAL_COPYRIGHT "Copyright (C) the korvi-sar authors" CACHE STRING
    "LegalCopyright in the programs' version resource")

# One string of the version resource, checked and quoted for the resource compiler: the
# compiler reads the file in one code page, so anything beyond printable ASCII is refused here
# rather than turned into other characters; a quote is doubled, a backslash escaped.
function(korvi_rc_string variable out)
  set(value "$CACHE{${variable}}")
  if(value STREQUAL "" OR value MATCHES "[^ -~]")
    message(FATAL_ERROR "${variable} must be printable ASCII and not empty, not \"${value}\"")
  endif()
  string(REPLACE "\\" "\\\\" value "${value}")
  string(REPLACE "\"" "\"\"" value "${value}")
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

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
  set(KORVI_FILE_DESCRIPTION_${output_name} "${arg_DESCRIPTION}" CACHE STRING "FileDescription of ${output_name}.exe")
  mark_as_advanced(KORVI_FILE_DESCRIPTION_${output_name})
  korvi_rc_string(KORVI_FILE_DESCRIPTION_${output_name} KORVI_RC_DESCRIPTION)
  korvi_rc_string(KORVI_COMPANY_NAME KORVI_RC_COMPANY)
  korvi_rc_string(KORVI_PRODUCT_NAME KORVI_RC_PRODUCT)
  korvi_rc_string(KORVI_LEGAL_COPYRIGHT KORVI_RC_COPYRIGHT)
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
