# The bundled sample (examples/sample) built as test fixtures, 32-bit and 64-bit, with
# the MinGW compilers and the sample's own flags: sample.dll, and sample.exe linked
# against it. The files land in <build>/tests/fixtures/sample32 and .../sample64.
# The linker names its import stubs and picks the DLL's image base from the output
# names, so the compilers run in the fixture folder with bare file names: the files are
# then the same, byte for byte, whatever the build folder.
#
# Sets TESSOR_SAMPLE_FIXTURES_TARGET (a target that builds them, empty when a compiler
# is missing) and TESSOR_SAMPLE_DIR_FOR_TESTS: the folder as the test programs must
# open it. Windows test programs run under Wine, which sees the Linux root as drive Z:.

set(_sample_src "${CMAKE_SOURCE_DIR}/examples/sample")
set(_sample_out "${CMAKE_CURRENT_BINARY_DIR}/fixtures")
set(_sample_cflags -O0 -fno-omit-frame-pointer -fexec-charset=GB18030)
set(_sample_ldflags -Wl,--no-insert-timestamp -s)

find_program(TESSOR_I686_MINGW_GCC i686-w64-mingw32-gcc)
find_program(TESSOR_X86_64_MINGW_GCC x86_64-w64-mingw32-gcc)

set(TESSOR_SAMPLE_FIXTURES_TARGET "")
set(TESSOR_SAMPLE_DIR_FOR_TESTS "")
if(TESSOR_I686_MINGW_GCC AND TESSOR_X86_64_MINGW_GCC)
  set(_sample_outputs "")
  foreach(_bits 32 64)
    if(_bits EQUAL 32)
      set(_gcc "${TESSOR_I686_MINGW_GCC}")
    else()
      set(_gcc "${TESSOR_X86_64_MINGW_GCC}")
    endif()
    set(_dir "${_sample_out}/sample${_bits}")
    file(MAKE_DIRECTORY "${_dir}")
    add_custom_command(
      OUTPUT "${_dir}/sample.dll" "${_dir}/libsample.dll.a"
      COMMAND "${_gcc}" ${_sample_cflags} -shared -o sample.dll "${_sample_src}/sample_dll.c"
              ${_sample_ldflags} -Wl,--out-implib,libsample.dll.a
      WORKING_DIRECTORY "${_dir}"
      DEPENDS "${_sample_src}/sample_dll.c"
      COMMENT "Building the ${_bits}-bit sample.dll fixture"
      VERBATIM)
    add_custom_command(
      OUTPUT "${_dir}/sample.exe"
      COMMAND "${_gcc}" ${_sample_cflags} -o sample.exe "${_sample_src}/sample.c"
              libsample.dll.a -luser32 -lkernel32 ${_sample_ldflags}
      WORKING_DIRECTORY "${_dir}"
      DEPENDS "${_sample_src}/sample.c" "${_dir}/libsample.dll.a"
      COMMENT "Building the ${_bits}-bit sample.exe fixture"
      VERBATIM)
    list(APPEND _sample_outputs "${_dir}/sample.dll" "${_dir}/sample.exe")
  endforeach()
  add_custom_target(sample_fixtures ALL DEPENDS ${_sample_outputs})
  set(TESSOR_SAMPLE_FIXTURES_TARGET sample_fixtures)
  if(WIN32)
    set(TESSOR_SAMPLE_DIR_FOR_TESTS "Z:${_sample_out}")
  else()
    set(TESSOR_SAMPLE_DIR_FOR_TESTS "${_sample_out}")
  endif()
endif()
