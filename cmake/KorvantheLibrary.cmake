# korvanthe_library(NAME DIR [DEPS ...]): one static library of every .cpp
# directly in DIR. The player's folders call each other (the loader stores the
# tick driver, the free waits on the streaming code), and CMake links such
# cycles of static libraries correctly.
function(korvanthe_library name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    if(ARG_DEPS)
      target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    if(ARG_DEPS)
      target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
  endif()
endfunction()

# korvanthe_test_executable(NAME SOURCES... LIBS ...): a GoogleTest executable
# of the project's libraries, not yet registered anywhere; tests find
# ../shared through KORVANTHE_SHARED_DIR. The wasm build (cmake/Web.cmake)
# makes its tests for node with it too.
function(korvanthe_test_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  korvanthe_link_group(${name} ${ARG_LIBS})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    KORVANTHE_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared"
    KORVANTHE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KORVANTHE_BINARY_DIR="${PROJECT_BINARY_DIR}")
endfunction()

# korvanthe_test(NAME SOURCES... LIBS ...): a test executable registered with
# CTest. Tests that start processes with POSIX calls are left out of Windows
# builds.
set(KORVANTHE_POSIX_ONLY_TESTS xm_play_play_disk_test)
function(korvanthe_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(WIN32 AND name IN_LIST KORVANTHE_POSIX_ONLY_TESTS)
    return()
  endif()
  korvanthe_test_executable(${name} SOURCES ${ARG_SOURCES} LIBS ${ARG_LIBS})
  # Mesa's software rasteriser renders on the calling thread alone: the same
  # pixels every run, and no helper threads for LeakSanitizer to trip over.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABELS}" ENVIRONMENT "LP_NUM_THREADS=0")
endfunction()

# korvanthe_link_group(TARGET LIBS...): links the project's static libraries
# as one group that the linker rescans. The player's folders and the platform
# backend call each other (freeModule stops the streaming code, which drives
# the backend's device), so a single pass in any order can leave symbols
# undefined, depending on which object a library happened to pull in first.
function(korvanthe_link_group target)
  # Groups cannot nest: a caller's own group is merged into this one.
  set(flat "")
  foreach(item ${ARGN})
    string(REGEX REPLACE "^\\$<LINK_GROUP:RESCAN,(.*)>$" "\\1" item "${item}")
    string(REPLACE "," ";" item "${item}")
    list(APPEND flat ${item})
  endforeach()
  list(REMOVE_DUPLICATES flat)
  list(JOIN flat "," libs)
  target_link_libraries(${target} PRIVATE "$<LINK_GROUP:RESCAN,${libs}>")
endfunction()
