# Build conventions shared by every subsystem, test and tool.

# tarnwick_options: the one place for the language standard, the warnings and the sanitizers. Every
# library, test program, benchmark and fuzz target links it (PRIVATE), so no flag is set globally.
add_library(tarnwick_options INTERFACE)
target_compile_features(tarnwick_options INTERFACE cxx_std_20)
target_compile_options(tarnwick_options INTERFACE
  -Wall -Wextra -Wshadow
  $<$<COMPILE_LANGUAGE:CXX>:-Wold-style-cast -Wnon-virtual-dtor>
  # Checks the GUARDED_BY / REQUIRES annotations (app/ThreadAnnotations.h); GCC has no such analysis.
  $<$<CXX_COMPILER_ID:Clang>:-Wthread-safety>
  $<$<BOOL:${TARNWICK_WERROR}>:-Werror>)

if(TARNWICK_SANITIZE)
  target_compile_options(tarnwick_options INTERFACE -fsanitize=${TARNWICK_SANITIZE} -fno-omit-frame-pointer -g)
  target_link_options(tarnwick_options INTERFACE -fsanitize=${TARNWICK_SANITIZE})
  if(TARNWICK_SANITIZE MATCHES "undefined")
    target_compile_options(tarnwick_options INTERFACE -fno-sanitize-recover=undefined)
  endif()
endif()
if(TARNWICK_FUZZ)
  # Everything is instrumented for libFuzzer; only the fuzz targets link its main (fuzz/CMakeLists.txt).
  target_compile_options(tarnwick_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g)
  target_link_options(tarnwick_options INTERFACE -fsanitize=address,undefined)
endif()

find_package(Threads REQUIRED)

# tarnwick_subsystem(NAME DEPS lib...)
# One static library per folder of src/, named tw_NAME, built from every .cpp in the folder.
# Headers are included as "NAME/Header.h" from src/.
function(tarnwick_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    # A subsystem of headers only so far.
    add_library(tw_${name} INTERFACE)
    target_include_directories(tw_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(tw_${name} INTERFACE ${ARG_DEPS} Threads::Threads)
    return()
  endif()
  add_library(tw_${name} STATIC ${sources})
  target_include_directories(tw_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(tw_${name} PUBLIC ${ARG_DEPS} Threads::Threads PRIVATE tarnwick_options)
endfunction()

# tarnwick_tests(NAME LIBS lib... [THREADED])
# One GoogleTest program per folder of tests/, test_NAME, from every .cpp in the folder.
# THREADED marks programs whose tests start threads: scripts/test also runs them under ThreadSanitizer.
function(tarnwick_tests name)
  cmake_parse_arguments(ARG "THREADED" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(test_${name} ${sources})
  target_link_libraries(test_${name} PRIVATE
    ${ARG_LIBS} tw_testsupport GTest::gtest GTest::gtest_main Threads::Threads tarnwick_options)
  target_compile_definitions(test_${name} PRIVATE
    TARNWICK_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TARNWICK_BINARY_DIR="${PROJECT_BINARY_DIR}")
  # One label per program: the discovery step passes properties on as a flat list, so a list of
  # labels would not survive. `ctest -L threaded` matches "<name>-threaded" (-L takes a pattern).
  set(labels ${name})
  if(ARG_THREADED)
    set(labels ${name}-threaded)
  endif()
  gtest_discover_tests(test_${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${labels} TIMEOUT 300)
endfunction()
