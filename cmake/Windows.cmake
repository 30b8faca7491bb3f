# Windows builds (cross-compiled with MinGW-w64): the data generators, the
# demo's backend and the release folder with its zip.

# The generators run at build time. A cross build runs its own executables
# only under Wine, where that is installed, and slowly, so it runs the host
# build's generators from KORVANTHE_HOST_TOOLS (a native build's bin folder):
# they write the same files.
set(KORVANTHE_HOST_TOOLS "" CACHE PATH "Host build's bin folder with the data generators")
if(CMAKE_CROSSCOMPILING AND KORVANTHE_HOST_TOOLS)
  foreach(generator korvanthe-assetgen korvanthe-demo-song)
    if(TARGET ${generator})
      set_property(TARGET ${generator} PROPERTY CROSSCOMPILING_EMULATOR
        sh ${PROJECT_SOURCE_DIR}/scripts/run-host-tool.sh ${KORVANTHE_HOST_TOOLS})
    endif()
  endforeach()
endif()

if(NOT TARGET korvanthe OR NOT TARGET korvanthe-xm)
  return()
endif()

# The release folder: the demo, the player's command-line tool, the data the
# demo reads and a short readme, zipped beside it. The readme gets Windows
# line ends (CRLF), so that every editor there shows its lines.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(release_name korvanthe-windows-x86)
else()
  set(release_name korvanthe-windows-x64)
endif()
set(release_root ${CMAKE_BINARY_DIR}/release)
set(release_dir ${release_root}/${release_name})
set(release_readme ${CMAKE_BINARY_DIR}/release-readme.txt)
configure_file(${PROJECT_SOURCE_DIR}/platform/win32/release-readme.txt ${release_readme}
  @ONLY NEWLINE_STYLE CRLF)
set(release_data soundtrack.xm random.scp gridtile.tga picture0.raw picture1.raw picture2.raw
  korvanthe.raw tallstrip.raw random.raw)
list(TRANSFORM release_data PREPEND ${CMAKE_BINARY_DIR}/bin/)
add_custom_command(
  OUTPUT ${release_root}/${release_name}.zip
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${release_dir} ${release_root}/${release_name}.zip
  COMMAND ${CMAKE_COMMAND} -E make_directory ${release_dir}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:korvanthe> ${release_dir}/korvanthe.exe
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:korvanthe-xm> ${release_dir}/korvanthe-xm.exe
  COMMAND ${CMAKE_STRIP} ${release_dir}/korvanthe.exe ${release_dir}/korvanthe-xm.exe
  COMMAND ${CMAKE_COMMAND} -E copy ${release_data} ${release_dir}
  COMMAND ${CMAKE_COMMAND} -E copy ${release_readme} ${release_dir}/README.txt
  COMMAND ${CMAKE_COMMAND} -E chdir ${release_root}
    ${CMAKE_COMMAND} -E tar cf ${release_name}.zip --format=zip ${release_name}
  DEPENDS korvanthe korvanthe-xm korvanthe_assets ${release_readme}
  COMMENT "Laying out and zipping ${release_name}"
  VERBATIM)
add_custom_target(korvanthe_windows_release DEPENDS ${release_root}/${release_name}.zip)
