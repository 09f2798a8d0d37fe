# Zydis, the instruction decoder under src/disasm, as the target `Zydis`.
#
# Native builds link Debian's libzydis-dev. The Windows builds (MinGW cross-compilation)
# compile the decoder sources of Debian's zydis source package, which scripts/setup
# unpacks into ${TESSOR_CACHE_DIR}/zydis/zydis-4.0.0, with the Zycore headers of
# libzycore-dev copied into ${TESSOR_CACHE_DIR}/include. Only the decoder and the name
# lookups are built: no formatter, no encoder, and no Zycore library code (the decoder
# uses Zycore's headers only).
include_guard(GLOBAL)

if(CMAKE_CROSSCOMPILING AND WIN32)
  set(_zydis_root "${TESSOR_CACHE_DIR}/zydis/zydis-4.0.0")
  if(NOT EXISTS "${_zydis_root}/src/Decoder.c" OR NOT EXISTS "${TESSOR_CACHE_DIR}/include/Zycore/Types.h")
    message(FATAL_ERROR "the zydis sources or the Zycore headers are missing under ${TESSOR_CACHE_DIR}: run scripts/setup")
  endif()
  add_library(Zydis STATIC
    "${_zydis_root}/src/Decoder.c"
    "${_zydis_root}/src/DecoderData.c"
    "${_zydis_root}/src/SharedData.c"
    "${_zydis_root}/src/Mnemonic.c"
    "${_zydis_root}/src/Register.c")
  target_include_directories(Zydis SYSTEM PUBLIC "${_zydis_root}/include" "${TESSOR_CACHE_DIR}/include")
  target_include_directories(Zydis PRIVATE "${_zydis_root}/src")
  target_compile_definitions(Zydis
    PUBLIC ZYDIS_STATIC_BUILD ZYCORE_STATIC_BUILD
    PRIVATE ZYDIS_DISABLE_FORMATTER ZYDIS_DISABLE_ENCODER)
  set_target_properties(Zydis PROPERTIES C_STANDARD 11 C_STANDARD_REQUIRED ON)
  # Third-party code: its warnings are not ours to fix.
  target_compile_options(Zydis PRIVATE -w)
else()
  find_path(TESSOR_ZYDIS_INCLUDE_DIR Zydis/Decoder.h)
  find_library(TESSOR_ZYDIS_LIBRARY Zydis)
  if(NOT TESSOR_ZYDIS_INCLUDE_DIR OR NOT TESSOR_ZYDIS_LIBRARY)
    message(FATAL_ERROR "Zydis not found: install libzydis-dev (scripts/setup)")
  endif()
  add_library(Zydis UNKNOWN IMPORTED GLOBAL)
  set_target_properties(Zydis PROPERTIES
    IMPORTED_LOCATION "${TESSOR_ZYDIS_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${TESSOR_ZYDIS_INCLUDE_DIR}")
endif()
