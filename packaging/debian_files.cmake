# Run by CPack on the staged files before it packs them, for each package:
# Debian keeps manual pages and the changelog compressed (gzip -9n: no name
# or time inside, so a build gives the same bytes each time) and the
# copyright file beside the changelog.
foreach(component ${CPACK_COMPONENTS_ALL})
    string(TOUPPER "${component}" upper)
    set(package "${CPACK_DEBIAN_${upper}_PACKAGE_NAME}")
    set(usr "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/${component}${CPACK_PACKAGING_INSTALL_PREFIX}")
    set(doc "${usr}/share/doc/${package}")
    file(MAKE_DIRECTORY "${doc}")
    file(COPY_FILE "${CPACK_TAVREL_COPYRIGHT}" "${doc}/copyright")
    file(COPY_FILE "${CPACK_TAVREL_CHANGELOG}" "${doc}/changelog")
    file(GLOB manuals "${usr}/share/man/man*/*.[1-9]")
    foreach(file "${doc}/changelog" ${manuals})
        execute_process(COMMAND gzip -9nf "${file}" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
    # A plugin's package brings the button image type too, under its own
    # name, so the desktop tells button files by name and content whichever
    # package is installed.
    if(NOT component STREQUAL "tavrel")
        file(MAKE_DIRECTORY "${usr}/share/mime/packages")
        file(COPY_FILE "${CPACK_TAVREL_MIME}" "${usr}/share/mime/packages/${package}.xml")
    endif()

    # Stripped as Debian's own packages are: without the compiler's notes.
    file(GLOB_RECURSE binaries "${usr}/bin/*" "${usr}/lib/*.so")
    if(binaries)
        execute_process(COMMAND strip --remove-section=.comment --remove-section=.note ${binaries}
                        COMMAND_ERROR_IS_FATAL ANY)
    endif()
endforeach()
