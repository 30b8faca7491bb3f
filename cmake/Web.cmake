# The browser edition, built with emcc (scripts/build-web.sh): the player,
# the timeline, the host and the web backend, linked into one page program,
# and on request the player's unit tests for node. No tools or packaging: the
# generators run natively, and their output is packed with the page.
include(${CMAKE_CURRENT_LIST_DIR}/KorvantheLibrary.cmake)
include_directories(${CMAKE_SOURCE_DIR})
# The libraries call each other (korvanthe_link_group); emcc's linker finds
# symbols in any archive whatever the order, and takes the group options.
set(CMAKE_CXX_LINK_GROUP_USING_RESCAN "LINKER:--start-group" "LINKER:--end-group")
set(CMAKE_CXX_LINK_GROUP_USING_RESCAN_SUPPORTED TRUE)
# The page has one thread; nothing here starts another.
add_library(korvanthe_no_threads INTERFACE)
add_library(Threads::Threads ALIAS korvanthe_no_threads)

add_subdirectory(module)
add_subdirectory(replayer)
add_subdirectory(audio)

# The mixer's wasm SIMD path (audio/mixer_simd128.cpp), the same floats as
# the scalar path in about half the time. Every current browser and node
# runs wasm SIMD; OFF builds a page for engines without it.
option(KORVANTHE_WEB_SIMD "Mix with wasm SIMD" ON)
if(KORVANTHE_WEB_SIMD)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/audio/mixer_simd128.cpp
    DIRECTORY ${PROJECT_SOURCE_DIR}/audio PROPERTIES
    COMPILE_OPTIONS "-msimd128")
endif()

add_subdirectory(timeline)
add_subdirectory(host)
add_subdirectory(platform)
add_subdirectory(tools/web)

# The player's unit tests for wasm, run under node with the real file system
# (scripts/test-web.sh): the same cases, and the same golden
# checksum, as natively. Tests that drive the headless backend stay native.
option(KORVANTHE_WEB_TESTS "Build the player's unit tests for node" OFF)
if(KORVANTHE_WEB_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_subdirectory(tools/xm_writer)
  korvanthe_library(korvanthe_test_support ${PROJECT_SOURCE_DIR}/tests/support DEPS korvanthe_module)
  file(GLOB web_test_sources CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/tests/module/*_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/replayer/*_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/audio/mixer*_test.cpp)
  # The peer players it compares with are native libraries.
  list(FILTER web_test_sources EXCLUDE REGEX "xm_peer_reference_test")
  foreach(source ${web_test_sources})
    get_filename_component(stem ${source} NAME_WE)
    get_filename_component(dir ${source} DIRECTORY)
    get_filename_component(folder ${dir} NAME)
    set(name web_${folder}_${stem})
    korvanthe_test_executable(${name} SOURCES ${source} LIBS korvanthe_test_support
      korvanthe_xmwriter korvanthe_module korvanthe_replayer korvanthe_audio korvanthe_timeline
      korvanthe_host korvanthe_platform_web)
    target_link_options(${name} PRIVATE -sNODERAWFS=1 -sENVIRONMENT=node -sALLOW_MEMORY_GROWTH=1
      -sEXIT_RUNTIME=1)
    list(APPEND web_tests ${name})
  endforeach()
  add_custom_target(korvanthe_web_tests DEPENDS ${web_tests})

  # The render speed under node, beside korvanthe-bench-render natively.
  add_executable(korvanthe_web_render_speed ${PROJECT_SOURCE_DIR}/bench/web_render/render_speed.cpp)
  set_target_properties(korvanthe_web_render_speed PROPERTIES OUTPUT_NAME render_speed)
  # The backend for the sound output the block renderer calls, and the
  # backend's own dependencies.
  korvanthe_link_group(korvanthe_web_render_speed korvanthe_module korvanthe_replayer
    korvanthe_audio korvanthe_timeline korvanthe_host korvanthe_platform_web)
  target_link_options(korvanthe_web_render_speed PRIVATE -sNODERAWFS=1 -sENVIRONMENT=node
    -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1)
endif()
