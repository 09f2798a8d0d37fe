# Third-party code comes from Debian packages only. Native builds use the system's
# packages; the Windows builds take the header-only libraries from an include folder of
# their own (filled by scripts/setup) and build GoogleTest from Debian's source.

if(CMAKE_CROSSCOMPILING)
  set(_tessor_headers "${TESSOR_CACHE_DIR}/include")
  if(NOT EXISTS "${_tessor_headers}/nlohmann/json.hpp")
    message(FATAL_ERROR "${_tessor_headers} is not filled: run scripts/setup")
  endif()
  add_library(tessor_thirdparty_headers INTERFACE)
  target_include_directories(tessor_thirdparty_headers SYSTEM INTERFACE "${_tessor_headers}")
  add_library(nlohmann_json::nlohmann_json ALIAS tessor_thirdparty_headers)
  add_library(CLI11::CLI11 ALIAS tessor_thirdparty_headers)
else()
  find_package(nlohmann_json 3 REQUIRED)
  find_package(CLI11 REQUIRED)
endif()

if(TESSOR_BUILD_TESTS)
  if(CMAKE_CROSSCOMPILING)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    # Debian's source defines the GTest:: aliases itself.
  else()
    find_package(GTest REQUIRED)
  endif()
endif()

if(TESSOR_BUILD_BENCHMARKS AND NOT CMAKE_CROSSCOMPILING)
  find_package(benchmark REQUIRED)
endif()
