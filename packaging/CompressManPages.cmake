# Run by CPack on the staged files before it builds the package: compresses
# the manual pages with gzip -9n, as Debian wants them.
file(GLOB_RECURSE _files "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.[1-9]")
list(FILTER _files INCLUDE REGEX "/share/man/man[1-9]/[^/]+\\.[1-9]$")
if(NOT _files)
  message(FATAL_ERROR "No manual pages found under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(page IN LISTS _files)
  execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip ${page} failed")
  endif()
endforeach()
