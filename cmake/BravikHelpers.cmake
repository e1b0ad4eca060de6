# bravik_add_test(NAME SOURCES file... LIBS lib...)
# One QtTest executable registered with CTest; every test runs on the
# offscreen platform so no display is needed.
function(bravik_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test bravik_testsupport ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;QT_LOGGING_RULES=qt.qpa.*=false")
endfunction()

# Adds every immediate subfolder of the current folder that has a
# CMakeLists.txt, so each area owns its own folder without touching a
# shared list.
function(bravik_add_subfolders)
  file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  list(SORT children)
  foreach(child ${children})
    get_filename_component(dir ${child} DIRECTORY)
    add_subdirectory(${dir})
  endforeach()
endfunction()

# bravik_also_on_postgres(NAME)
# Registers the test NAME a second time as NAME_pg, run against the
# PostgreSQL server that BRAVIK_TEST_PG names (the test skips itself when
# none is set up).
function(bravik_also_on_postgres name)
  add_test(NAME ${name}_pg COMMAND ${name})
  get_test_property(${name} TIMEOUT timeout)
  set_tests_properties(${name}_pg PROPERTIES
    TIMEOUT ${timeout}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;QT_LOGGING_RULES=qt.qpa.*=false;BRAVIK_TEST_DRIVER=QPSQL")
endfunction()
