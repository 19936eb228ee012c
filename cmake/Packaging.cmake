# What an installation holds besides the programs - manual pages, bash completion, the package's
# documentation - and the Debian package built from it (scripts/package).

include(GNUInstallDirs)

# Manual pages: written once in docs/man/*.scd, turned into roff by scdoc and compressed as Debian
# wants them. tests/check-man-pages.sh holds each page against its program's own help.
find_program(SCDOC_EXECUTABLE scdoc)
find_program(GZIP_EXECUTABLE gzip)
set(TAVO_MAN_PAGES tavo tavo-cli tavo-devsim)
if(SCDOC_EXECUTABLE AND GZIP_EXECUTABLE)
    set(man_outputs "")
    foreach(page ${TAVO_MAN_PAGES})
        set(src ${CMAKE_SOURCE_DIR}/docs/man/${page}.1.scd)
        set(out ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
        add_custom_command(OUTPUT ${out}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
            COMMAND sh -c "${SCDOC_EXECUTABLE} < ${src} | ${GZIP_EXECUTABLE} -9n > ${out}"
            DEPENDS ${src}
            COMMENT "Manual page ${page}(1)"
            VERBATIM)
        list(APPEND man_outputs ${out})
    endforeach()
    # tavo-cli-qt is the full tavo-cli (the front hands it the device and net commands)
    set(alias ${CMAKE_BINARY_DIR}/man/tavo-cli-qt.1.gz)
    add_custom_command(OUTPUT ${alias}
        COMMAND ${CMAKE_COMMAND} -E create_symlink tavo-cli.1.gz ${alias}
        DEPENDS ${CMAKE_BINARY_DIR}/man/tavo-cli.1.gz)
    add_custom_target(man_pages ALL DEPENDS ${man_outputs} ${alias})
    install(FILES ${man_outputs} ${alias} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(STATUS "scdoc not found: no manual pages (scripts/setup installs it)")
endif()

# bash completion, where bash-completion loads it on demand
install(FILES ${CMAKE_SOURCE_DIR}/data/completion/tavo-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# The package's documentation: copyright and changelog, as Debian policy places them.
set(TAVO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tavo)
install(FILES ${CMAKE_SOURCE_DIR}/data/debian/copyright DESTINATION ${TAVO_DOC_DIR})
set(changelog ${CMAKE_BINARY_DIR}/debian/changelog.gz)
add_custom_command(OUTPUT ${changelog}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/debian
    COMMAND sh -c "sed s/@VERSION@/${PROJECT_VERSION}/ ${CMAKE_SOURCE_DIR}/data/debian/changelog.in | gzip -9n > ${changelog}"
    DEPENDS ${CMAKE_SOURCE_DIR}/data/debian/changelog.in
    VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog})
install(FILES ${changelog} DESTINATION ${TAVO_DOC_DIR})

# The Debian package: tavo_<version>_amd64.deb. Depends is computed from the programs' libraries
# (dpkg-shlibdeps), the programs are stripped.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "TAVO developers")
set(CPACK_PACKAGE_CONTACT "TAVO developers <tavo@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "EDID manager for HDMI signal-distribution devices")
# The synopsis is the summary above; CPack indents these lines as the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "TAVO finds an HDMI signal-distribution device on a serial line,
reads and writes the EDIDs in its slots, analyses any EDID, builds new EDIDs,
composes one EDID that every display behind the device can take, sets the
device's EDID mode, description and defaults, and updates its firmware. Over
UDP it discovers networked devices of the family and edits their network
settings.
.
The package holds the desktop program tavo, the command-line tool tavo-cli and
the simulated device tavo-devsim for trying both without hardware.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "edid-decode")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tavo.example.org/")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)

# The manual pages and the completion against the programs' own help, and --version everywhere.
if(NOT TAVO_CORE_ONLY)
    add_test(NAME man_pages_and_completion_follow_help
             COMMAND ${CMAKE_SOURCE_DIR}/tests/check-man-pages.sh ${CMAKE_SOURCE_DIR}
                     $<TARGET_FILE:tavo-cli> $<TARGET_FILE:tavo-devsim> $<TARGET_FILE:tavo>)
    set_tests_properties(man_pages_and_completion_follow_help PROPERTIES LABELS cli)
endif()
