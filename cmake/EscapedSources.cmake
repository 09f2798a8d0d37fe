# Narrow literals must be GBK bytes at run time. GCC compiles them so with
# -fexec-charset; clang only knows UTF-8. For clang the build compiles copies of the
# source folders in which escape-gbk-literals.pl has written every non-ASCII character
# of a narrow literal as the octal escapes of its GBK bytes (see the script).
#
# tessor_escaped_sources(<out-var> <folder>...) writes the copies of the named folders
# of the source tree into <build>/escaped and sets <out-var> to that root, which then
# stands in for CMAKE_SOURCE_DIR in add_subdirectory(). The copies are written when
# CMake configures and again whenever a file of those folders changes, is added or is
# removed: every original is a configure dependency, so the build runs CMake first.

find_program(TESSOR_PERL perl REQUIRED)
find_program(TESSOR_ICONV iconv REQUIRED)

function(tessor_escaped_sources out_var)
  set(root "${CMAKE_BINARY_DIR}/escaped")
  set(globs)
  foreach(folder IN LISTS ARGN)
    list(APPEND globs "${CMAKE_SOURCE_DIR}/${folder}/*")
  endforeach()
  # The seed corpora and kept crash inputs of fuzz/ are data, not sources.
  file(GLOB_RECURSE originals CONFIGURE_DEPENDS LIST_DIRECTORIES false ${globs})
  list(FILTER originals EXCLUDE REGEX "/fuzz/(corpus|regressions)/")
  set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${originals} "${CMAKE_SOURCE_DIR}/cmake/escape-gbk-literals.pl")
  execute_process(
    COMMAND "${TESSOR_PERL}" "${CMAKE_SOURCE_DIR}/cmake/escape-gbk-literals.pl"
            "${CMAKE_SOURCE_DIR}" "${root}" ${ARGN} --skip corpus --skip regressions
            --iconv "${TESSOR_ICONV}"
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "escape-gbk-literals.pl failed (${result})")
  endif()
  set(${out_var} "${root}" PARENT_SCOPE)
endfunction()
