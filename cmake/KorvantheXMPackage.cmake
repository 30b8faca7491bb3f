# Installs libkorvanthe-xm for other programs: the libraries, the header, a
# pkg-config file and a CMake package (find_package(KorvantheXM) gives
# KorvantheXM::korvanthe-xm, the shared library, and
# KorvantheXM::korvanthe-xm-static). Every path in them is relative to where
# they are installed, so the tree can move. The shared library itself goes
# into the runtime component (its own Debian package); all else is for
# developers (the -dev package).
include(CMakePackageConfigHelpers)
set(korvanthe_xm_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/KorvantheXM)

install(TARGETS korvanthe-xm-shared EXPORT KorvantheXMTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)
install(TARGETS korvanthe-xm-static EXPORT KorvantheXMTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(FILES ${PROJECT_SOURCE_DIR}/include/korvanthe/xm.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvanthe COMPONENT dev)
install(EXPORT KorvantheXMTargets NAMESPACE KorvantheXM::
  DESTINATION ${korvanthe_xm_cmake_dir} COMPONENT dev)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KorvantheXMConfig.cmake.in
  ${CMAKE_BINARY_DIR}/KorvantheXMConfig.cmake INSTALL_DESTINATION ${korvanthe_xm_cmake_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/KorvantheXMConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/KorvantheXMConfig.cmake
  ${CMAKE_BINARY_DIR}/KorvantheXMConfigVersion.cmake
  DESTINATION ${korvanthe_xm_cmake_dir} COMPONENT dev)

# pkg-config: the prefix found from the file's own folder (${pcfiledir}),
# as many levels up as the library folder lies below the prefix.
set(pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
string(REGEX REPLACE "[^/]+" ".." pc_up "${pc_dir}")
set(KORVANTHE_XM_PC_PREFIX "\${pcfiledir}/${pc_up}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/korvanthe-xm.pc.in
  ${CMAKE_BINARY_DIR}/korvanthe-xm.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/korvanthe-xm.pc DESTINATION ${pc_dir} COMPONENT dev)
