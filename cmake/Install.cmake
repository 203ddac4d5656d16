# Install rules (`cmake --install build --prefix P`), in two components: runtime (the module, the SDK
# layer it links, zazod-host, the README and copyright text) and development (the host interface's
# headers, its default operations as a static library, the CMake package and zazod-host.pc). The
# layout is that of cmake/InstallLayout.cmake; nothing installed holds an absolute path, so the
# prefix can be moved or unpacked anywhere.
include(CMakePackageConfigHelpers)

# The SDK layer is versioned: the module binds it by its SONAME, libzazod_sdk.so.<major>. Hosts never
# link it (they load the module), so no link-time name or SDK headers are installed.
set_target_properties(zazod_sdk PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
install(TARGETS zazod_sdk LIBRARY DESTINATION ${ZAZOD_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_SKIP)

set_target_properties(zaZod_190 PROPERTIES INSTALL_RPATH "$ORIGIN/${ZAZOD_MODULE_TO_LIBDIR}")
install(TARGETS zaZod_190 LIBRARY DESTINATION ${ZAZOD_INSTALL_MODULEDIR} COMPONENT runtime)

# zazod-host links no library of ours; it finds the module relative to itself (host/DefaultModule).
if(TARGET zazod-host)
  install(TARGETS zazod-host RUNTIME DESTINATION ${ZAZOD_INSTALL_BINDIR} COMPONENT runtime)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/COPYRIGHT
  DESTINATION ${ZAZOD_INSTALL_DOCDIR} COMPONENT runtime)

# The host interface for host builds.
file(GLOB zazod_interface_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/host_sdk/*.h)
install(FILES ${zazod_interface_headers} DESTINATION ${ZAZOD_INSTALL_INCLUDEDIR} COMPONENT development)
install(TARGETS host_sdk_headers host_sdk EXPORT ZazodHostTargets
  ARCHIVE DESTINATION ${ZAZOD_INSTALL_LIBDIR} COMPONENT development)
install(EXPORT ZazodHostTargets NAMESPACE ZazodHost:: DESTINATION ${ZAZOD_INSTALL_CMAKEDIR}
  COMPONENT development)

set(zazod_package_dir ${PROJECT_BINARY_DIR}/package)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ZazodHostConfig.cmake.in
  ${zazod_package_dir}/ZazodHostConfig.cmake
  INSTALL_DESTINATION ${ZAZOD_INSTALL_CMAKEDIR}
  PATH_VARS ZAZOD_INSTALL_MODULEDIR ZAZOD_INSTALL_INCLUDEDIR)
# 0.x releases promise nothing across minor versions.
write_basic_package_version_file(${zazod_package_dir}/ZazodHostConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${zazod_package_dir}/ZazodHostConfig.cmake ${zazod_package_dir}/ZazodHostConfigVersion.cmake
  DESTINATION ${ZAZOD_INSTALL_CMAKEDIR} COMPONENT development)

# pkg-config finds the prefix from the file's own place, so the .pc moves with the prefix too.
file(RELATIVE_PATH ZAZOD_PKGCONFIG_TO_PREFIX /${ZAZOD_INSTALL_PKGCONFIGDIR} /)
string(REGEX REPLACE "/$" "" ZAZOD_PKGCONFIG_TO_PREFIX "${ZAZOD_PKGCONFIG_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/zazod-host.pc.in ${zazod_package_dir}/zazod-host.pc @ONLY)
install(FILES ${zazod_package_dir}/zazod-host.pc DESTINATION ${ZAZOD_INSTALL_PKGCONFIGDIR}
  COMPONENT development)
