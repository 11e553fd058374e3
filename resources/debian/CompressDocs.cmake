# Run by cpack after it has installed into its staging tree: compresses the
# man pages and the changelog as Debian expects them (gzip -9, no name or
# time stamp inside, so the package is reproducible).
foreach(relative IN LISTS CPACK_HALVARIN_COMPRESS_PATHS)
  file(GLOB_RECURSE found LIST_DIRECTORIES false
       "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/${relative}")
  if(NOT found)
    message(FATAL_ERROR "not in the package's staging tree: ${relative}")
  endif()
  foreach(path IN LISTS found)
    execute_process(COMMAND gzip -9nf ${path} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "gzip ${path} failed")
    endif()
  endforeach()
endforeach()
