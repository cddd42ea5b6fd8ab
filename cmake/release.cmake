# The release of the Windows build: `cpack` in the mingw build tree makes
#   korvi-sar-<version>-win64.zip        one folder korvi-sar-<version>/ with korvi-sar.exe,
#                                        korvi-supervisor.exe and korvi-capture.exe (stripped),
#                                        install.cmd, update.cmd, remove.cmd,
#                                        deploy/korvi-sar.task.xml, README.md (the release's
#                                        own, README-windows.md), LICENSE,
#                                        THIRD-PARTY-NOTICES.txt and
#                                        the docs README links to (docs/*.md and the
#                                        pictures they show), at the same relative paths
#   korvi-sar-<version>-win64-debug.zip  the three exes' .debug files, the
#                                        debug information each stripped exe names in its
#                                        .gnu_debuglink
# The notebook gets only the first; the second stays with us, for reading crash dumps. The
# exes in the first are signed when KORVI_SIGN_CERT and KORVI_SIGN_KEY name a certificate.

# The service's own code carries debug information (GCC's -g changes no generated code), so
# that the separate file has something to hold; the shipped exe loses it when stripped.
foreach(target korvi_ground korvi_cellular korvi_wlan_power korvi_controller korvi_windows korvi_sar_objects
               korvi_capture_parsing korvi_child_process korvi-capture korvi_supervisor_policy korvi-supervisor)
  target_compile_options(${target} PRIVATE -g)
endforeach()

# Signing (Authenticode, with osslsigncode): given a certificate and its key, PEM files, the
# release signs the three stripped exes; given neither, it leaves them unsigned and says so.
#   -DKORVI_SIGN_CERT=<certificate.pem> -DKORVI_SIGN_KEY=<key.pem>
set(KORVI_SIGN_CERT "" CACHE FILEPATH "Certificate (PEM) that signs the released exes; empty: unsigned")
set(KORVI_SIGN_KEY "" CACHE FILEPATH "Private key (PEM, no passphrase) of KORVI_SIGN_CERT")
set(release_signed OFF)
if(KORVI_SIGN_CERT OR KORVI_SIGN_KEY)
  foreach(variable KORVI_SIGN_CERT KORVI_SIGN_KEY)
    if(NOT IS_ABSOLUTE "${${variable}}" OR NOT EXISTS "${${variable}}")
      message(FATAL_ERROR "${variable} must name an existing file by its full path, not \"${${variable}}\"")
    endif()
  endforeach()
  find_program(KORVI_OSSLSIGNCODE osslsigncode)
  if(NOT KORVI_OSSLSIGNCODE)
    message(FATAL_ERROR "KORVI_SIGN_CERT is set, but osslsigncode is not installed (bash .ci/install-deps.sh windows)")
  endif()
  set(release_signed ON)
  message(STATUS "Release: the exes are signed with ${KORVI_SIGN_CERT}")
else()
  message(STATUS "Release: KORVI_SIGN_CERT and KORVI_SIGN_KEY are not set: the exes ship unsigned")
endif()

set(release_dir ${PROJECT_BINARY_DIR}/release)
# Everything that ships unpacks into one folder, named for the release.
set(shipped korvi-sar-${PROJECT_VERSION})
file(MAKE_DIRECTORY ${release_dir})
set(release_outputs)
foreach(program korvi-sar korvi-supervisor korvi-capture)
  # The linker's map names every library member it took; the zip's check holds it against the
  # third-party notices, so that a library linked statically cannot ship without its notice.
  target_link_options(${program} PRIVATE -Wl,-Map=${release_dir}/${program}.map)
  set(stripped ${release_dir}/${program}.exe)
  set(sign_commands)
  set(signed_comment "unsigned")
  if(release_signed)
    # Signed last: the signature covers the stripped exe as it ships, debug link and all.
    set(stripped ${release_dir}/${program}.unsigned.exe)
    set(sign_commands
        COMMAND ${CMAKE_COMMAND} -E rm -f ${release_dir}/${program}.exe
        COMMAND ${KORVI_OSSLSIGNCODE} sign -certs ${KORVI_SIGN_CERT} -key ${KORVI_SIGN_KEY} -h sha256
                -n "${KORVI_PRODUCT_NAME}" -in ${stripped} -out ${release_dir}/${program}.exe)
    set(signed_comment "signed")
  endif()
  add_custom_command(
    OUTPUT ${release_dir}/${program}.exe ${release_dir}/${program}.exe.debug
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${program}> ${release_dir}/${program}.exe.debug
    # Run in the release folder, so that the link names the file alone, as it will lie beside
    # the exe or in a symbol store.
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${program}.exe.debug $<TARGET_FILE:${program}>
            ${stripped}
    ${sign_commands}
    WORKING_DIRECTORY ${release_dir}
    DEPENDS ${program} ${KORVI_SIGN_CERT} ${KORVI_SIGN_KEY}
    COMMENT "Release: ${program}.exe stripped (${signed_comment}), its debug information in ${program}.exe.debug"
    VERBATIM)
  list(APPEND release_outputs ${release_dir}/${program}.exe ${release_dir}/${program}.exe.debug)
  install(PROGRAMS ${release_dir}/${program}.exe DESTINATION ${shipped} COMPONENT service)
  install(FILES ${release_dir}/${program}.exe.debug DESTINATION . COMPONENT debug)
endforeach()
add_custom_target(korvi_release_exe ALL DEPENDS ${release_outputs})

# The repository's front page is about building on Linux; the release has a page of its own.
install(FILES README-windows.md DESTINATION ${shipped} RENAME README.md COMPONENT service)
install(FILES LICENSE THIRD-PARTY-NOTICES.txt DESTINATION ${shipped} COMPONENT service)
install(FILES deploy/korvi-sar.task.xml DESTINATION ${shipped}/deploy COMPONENT service)
# Install, update and remove, one command each, at the top where the README says they are.
install(FILES deploy/install.cmd deploy/update.cmd deploy/remove.cmd DESTINATION ${shipped} COMPONENT service)
# Every page of docs/ and the pictures they show, so that README's links (and theirs) open
# inside the unpacked zip as they do in the repository.
file(GLOB shipped_docs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md ${PROJECT_SOURCE_DIR}/docs/*.svg)
install(FILES ${shipped_docs} DESTINATION ${shipped}/docs COMPONENT service)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME korvi-sar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL service debug)
set(CPACK_ARCHIVE_SERVICE_FILE_NAME korvi-sar-${PROJECT_VERSION}-win64)
set(CPACK_ARCHIVE_DEBUG_FILE_NAME korvi-sar-${PROJECT_VERSION}-win64-debug)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
include(CPack)
