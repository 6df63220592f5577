# Run by CPack on the staged files before it packs them: Debian keeps manual
# pages and the changelog compressed (gzip -9n: no name or time inside, so a
# build gives the same bytes each time) and the copyright file beside the
# changelog.
set(usr "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${usr}/share/doc/tavrel")
file(MAKE_DIRECTORY "${doc}")
file(COPY_FILE "${CPACK_TAVREL_COPYRIGHT}" "${doc}/copyright")
file(COPY_FILE "${CPACK_TAVREL_CHANGELOG}" "${doc}/changelog")
file(GLOB manuals "${usr}/share/man/man*/*.[1-9]")
foreach(file "${doc}/changelog" ${manuals})
    execute_process(COMMAND gzip -9nf "${file}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# Stripped as Debian's own packages are: without the compiler's notes.
file(GLOB_RECURSE binaries "${usr}/bin/*" "${usr}/lib/*.so")
execute_process(COMMAND strip --remove-section=.comment --remove-section=.note ${binaries}
                COMMAND_ERROR_IS_FATAL ANY)
