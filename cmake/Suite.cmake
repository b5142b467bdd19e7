# Build flags and helper functions shared by the four programs' CMake files.

add_compile_options(-Wall -Wextra -Wpedantic)
if(SUITE_WERROR)
  add_compile_options(-Werror)
  # GCC 12 at -O2/-O3 reports `"text" + std::string` as an overlapping memcpy (GCC bug 105329,
  # a false -Wrestrict inside libstdc++); as an error it would stop every release build.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
     AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    add_compile_options(-Wno-error=restrict)
  endif()
endif()

if(SUITE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
# In the fuzz build every library gets coverage instrumentation too: libFuzzer can only
# steer towards edges it sees, and the readers under test live in the libraries, not in the
# harness files. The harnesses themselves add -fsanitize=fuzzer (which brings the driver).
if(SUITE_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(SUITE_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets OpenGL OpenGLWidgets PrintSupport Svg Test)
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)
set(CMAKE_AUTOUIC OFF)

set(SUITE_TESTSUPPORT_DIR ${CMAKE_CURRENT_LIST_DIR}/../testsupport)

# suite_add_gtest(<target> SOURCES ... [LIBS ...] [GUI] [XVFB] [LABELS ...])
#   GUI  : links the QApplication test main and runs on the offscreen platform.
#   XVFB : needs real OpenGL; runs the whole executable under xvfb-run with Mesa's
#          software renderer and carries the "xvfb" label.
# Every test process gets its own temporary WINDIR/SYSTEMDIR/XDG_CONFIG_HOME/HOME
# (the test main creates them), so tests never touch the real home and run in parallel.
function(suite_add_gtest target)
  cmake_parse_arguments(ARG "GUI;XVFB" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT SUITE_TESTS)
    return()
  endif()
  add_executable(${target} ${ARG_SOURCES})
  if(ARG_GUI OR ARG_XVFB)
    target_link_libraries(${target} PRIVATE suite_qt_test_main)
  else()
    target_link_libraries(${target} PRIVATE suite_test_main)
  endif()
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
  if(ARG_XVFB)
    add_test(NAME ${target}
             COMMAND xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX"
                     $<TARGET_FILE:${target}>)
    set_tests_properties(${target} PROPERTIES
      LABELS "xvfb;${ARG_LABELS}"
      ENVIRONMENT "LIBGL_ALWAYS_SOFTWARE=1;QT_QPA_PLATFORM=xcb"
      TIMEOUT 600)
  else()
    set(env "")
    if(ARG_GUI)
      set(env "QT_QPA_PLATFORM=offscreen")
    endif()
    # An empty value would swallow the next keyword, so only pass what is set.
    set(props TIMEOUT 300)
    if(env)
      list(APPEND props ENVIRONMENT "${env}")
    endif()
    if(ARG_LABELS)
      list(APPEND props LABELS "${ARG_LABELS}")
    endif()
    gtest_discover_tests(${target}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 120
      PROPERTIES ${props})
  endif()
endfunction()

# suite_add_fuzzer(<name> SOURCE <file> LIBS ... SEEDS <dir>)
# The fuzz function (LLVMFuzzerTestOneInput) is built twice: as a libFuzzer target when
# SUITE_FUZZ is on (clang), and always as a regression test that feeds it the seed files
# plus a fixed number of deterministic mutations of them, so CI exercises every reader
# with hostile input under the sanitizers.
function(suite_add_fuzzer name)
  cmake_parse_arguments(ARG "" "SOURCE;SEEDS" "LIBS" ${ARGN})
  if(SUITE_FUZZ)
    add_executable(${name} ${ARG_SOURCE})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  endif()
  if(SUITE_TESTS)
    add_executable(${name}_regression ${ARG_SOURCE} ${SUITE_TESTSUPPORT_DIR}/fuzz_driver.cpp)
    target_link_libraries(${name}_regression PRIVATE ${ARG_LIBS})
    add_test(NAME ${name}_regression
             COMMAND $<TARGET_FILE:${name}_regression> --mutations 3000 ${ARG_SEEDS})
    set_tests_properties(${name}_regression PROPERTIES LABELS "fuzz" TIMEOUT 600
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()

# suite_add_benchmark(<target> SOURCES ... LIBS ...): built only with SUITE_BENCH.
function(suite_add_benchmark target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT SUITE_BENCH)
    return()
  endif()
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} benchmark::benchmark)
endfunction()

# suite_help_pages(<program>): the program's help/ folder travels with it, every page and
# picture in it: copied beside the executable in the build tree and installed to
# share/<program>/help, the two places its Help command looks.
function(suite_help_pages program)
  file(GLOB pages CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/help/*)
  foreach(page IN LISTS pages)
    get_filename_component(name ${page} NAME)
    configure_file(${page} ${CMAKE_CURRENT_BINARY_DIR}/help/${name} COPYONLY)
  endforeach()
  if(pages)
    install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_DATADIR}/${program}/help)
  endif()
endfunction()
