# Fuzz targets: one LLVMFuzzerTestOneInput source per parser.
#
# bravik_fuzz_target(NAME SOURCES file... LIBS lib... CORPUS dir [DICT file])
#
# In the normal build (BRAVIK_FUZZ off) each target is linked with a small
# replay driver and registered with CTest as NAME: it runs every file of its
# seed corpus CORPUS and of tests/fuzz/regressions/NAME/ once, so a fixed
# finding stays fixed.  With BRAVIK_FUZZ on (clang, see ./dev.sh fuzz) the
# same source is linked with libFuzzer instead, and the target is listed in
# fuzz-targets.txt in the build folder for ./dev.sh fuzz to run.
include_guard(GLOBAL)

option(BRAVIK_FUZZ "Build the fuzz targets with libFuzzer (clang only)" OFF)

set(BRAVIK_FUZZ_DIR ${CMAKE_SOURCE_DIR}/tests/fuzz)
set(BRAVIK_FUZZ_MANIFEST ${CMAKE_BINARY_DIR}/fuzz-targets.txt)
file(WRITE ${BRAVIK_FUZZ_MANIFEST} "")
if(NOT TARGET bravik_fuzz_all)
  add_custom_target(bravik_fuzz_all)
endif()

function(bravik_fuzz_target name)
  cmake_parse_arguments(F "" "CORPUS;DICT" "SOURCES;LIBS" ${ARGN})
  if(NOT F_CORPUS)
    message(FATAL_ERROR "bravik_fuzz_target(${name}): CORPUS is required")
  endif()
  get_filename_component(corpus ${F_CORPUS} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT IS_DIRECTORY ${corpus})
    message(FATAL_ERROR "bravik_fuzz_target(${name}): no corpus folder ${corpus}")
  endif()
  set(regressions ${BRAVIK_FUZZ_DIR}/regressions/${name})
  set(dict "")
  if(F_DICT)
    get_filename_component(dict ${F_DICT} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  endif()

  add_executable(${name} ${F_SOURCES} ${BRAVIK_FUZZ_DIR}/FuzzSupport.h)
  target_include_directories(${name} PRIVATE ${BRAVIK_FUZZ_DIR})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  add_dependencies(bravik_fuzz_all ${name})
  if(BRAVIK_FUZZ)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    file(APPEND ${BRAVIK_FUZZ_MANIFEST}
         "${name}|${CMAKE_CURRENT_BINARY_DIR}/${name}|${corpus}|${regressions}|${dict}\n")
  else()
    target_sources(${name} PRIVATE ${BRAVIK_FUZZ_DIR}/ReplayMain.cpp)
    add_test(NAME ${name} COMMAND ${name} --corpus ${corpus} --regressions ${regressions})
    set_tests_properties(${name} PROPERTIES
      TIMEOUT 300
      LABELS fuzz
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
  endif()
endfunction()
