# Sources are found by folder so that a new file needs no edit here: everything under a
# folder is part of its target, and files ending in _test.cpp are that folder's unit tests.

# pellix_sources(OUT dir...) collects the non-test sources below the given folders.
function(pellix_sources out)
  set(result)
  foreach(dir IN LISTS ARGN)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
    list(FILTER found EXCLUDE REGEX "_test\\.cpp$")
    list(APPEND result ${found})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# pellix_test_sources(OUT dir...) collects the unit tests below the given folders.
function(pellix_test_sources out)
  set(result)
  foreach(dir IN LISTS ARGN)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${dir}/*_test.cpp)
    list(APPEND result ${found})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# pellix_add_test_binary(NAME SOURCES... LIBS ...) builds one gtest binary whose tests each run in
# a process of their own: device and module state is process-wide, as on the handheld.
function(pellix_add_test_binary name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT T_SOURCES)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 120)
endfunction()
