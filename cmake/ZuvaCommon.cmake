# Compiler settings shared by every target of the project.

if(WIN32)
  # Unicode Win32 API, Vista as the oldest system, no min/max macros.
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0600
                          WINVER=0x0600)
endif()

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Wall -Wextra -Wno-unused-parameter)
endif()
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # GCC 12 warns about an impossible overlap inside libstdc++'s own string concatenation
  # (a known false positive of its optimiser, fixed in 13); it hides warnings that matter.
  add_compile_options(-Wno-restrict)
endif()

if(ZUVA_SANITIZE OR ZUVA_FUZZ)
  if(WIN32)
    message(FATAL_ERROR "Sanitizers and fuzzing are for the host build only")
  endif()
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # The sanitizers' instrumentation makes GCC's flow analysis report libstdc++ internals
    # (std::function inside std::regex) as maybe uninitialised; the plain builds keep the warning.
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
endif()

if(ZUVA_FUZZ)
  # Instrument every library for coverage; only the fuzz programs link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# zuva_add_test(NAME SOURCES... LIBS ...): one GoogleTest program, registered with CTest.
# On win64 the program runs under Wine through CMAKE_CROSSCOMPILING_EMULATOR.
function(zuva_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
