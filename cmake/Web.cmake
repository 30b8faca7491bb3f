# The browser edition, built with emcc (scripts/build-web.sh): the player,
# the timeline, the host and the web backend, linked into one page program.
# No tests, tools or packaging here: the generators run natively, and their
# output is packed with the page.
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
add_subdirectory(timeline)
add_subdirectory(host)
add_subdirectory(platform/web)
add_subdirectory(tools/web)
