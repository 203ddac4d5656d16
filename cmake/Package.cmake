# Debian packages built by CPack from the install rules (scripts/package): zazod-host (runtime: the
# module, the SDK layer, zazod-host, the udev rule for USB3 Vision cameras and the postinst that
# applies it to cameras already plugged in) and zazod-host-dev (the host interface for host
# builds). Each also gets the files Debian wants in its doc folder (a machine-readable copyright
# made from COPYRIGHT, a changelog) and its lintian overrides, as components that only packaging
# installs.
set(ZAZOD_MAINTAINER "zaZod_190 developers <zazod-190@example.com>")
set(ZAZOD_DEBIAN_SOURCE zazod-host)
set(zazod_debian_dir ${PROJECT_BINARY_DIR}/debian)

# The copyright notice as the indented body of a DEP-5 licence paragraph.
file(READ ${PROJECT_SOURCE_DIR}/COPYRIGHT zazod_copyright)
string(STRIP "${zazod_copyright}" zazod_copyright)
string(REGEX REPLACE "\n\n" "\n.\n" zazod_copyright "${zazod_copyright}")
string(REPLACE "\n" "\n " zazod_copyright "${zazod_copyright}")
set(ZAZOD_COPYRIGHT_TEXT " ${zazod_copyright}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${zazod_debian_dir}/copyright @ONLY)

string(TIMESTAMP ZAZOD_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${zazod_debian_dir}/changelog @ONLY)
# Native packages carry changelog.gz, compressed at the highest level and without a time stamp.
execute_process(COMMAND gzip -9nc ${zazod_debian_dir}/changelog
  OUTPUT_FILE ${zazod_debian_dir}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)

foreach(package zazod-host zazod-host-dev)
  if(package STREQUAL "zazod-host")
    set(component runtime_debian)
  else()
    set(component development_debian)
  endif()
  install(FILES ${zazod_debian_dir}/copyright ${zazod_debian_dir}/changelog.gz
    DESTINATION share/doc/${package} COMPONENT ${component} EXCLUDE_FROM_ALL)
  if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/debian/${package}.lintian-overrides)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/${package}.lintian-overrides
      DESTINATION share/lintian/overrides RENAME ${package} COMPONENT ${component} EXCLUDE_FROM_ALL)
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zazod-host)
set(CPACK_PACKAGE_VENDOR "the zaZod_190 developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${ZAZOD_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime runtime_debian development development_debian)
set(CPACK_COMPONENT_RUNTIME_GROUP runtime)
set(CPACK_COMPONENT_RUNTIME_DEBIAN_GROUP runtime)
set(CPACK_COMPONENT_DEVELOPMENT_GROUP development)
set(CPACK_COMPONENT_DEVELOPMENT_DEBIAN_GROUP development)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZAZOD_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Depends from dpkg-shlibdeps. The SDK layer's shlibs file and ldconfig trigger are our own:
# CPack's would call ldconfig from maintainer scripts, which Debian replaced by the trigger.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/shlibs.in ${zazod_debian_dir}/shlibs @ONLY)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
  ${zazod_debian_dir}/shlibs ${CMAKE_CURRENT_LIST_DIR}/debian/triggers ${CMAKE_CURRENT_LIST_DIR}/debian/postinst)

# Access to USB3 Vision cameras for local users, where Debian's udev reads the rules of packages.
# Only the package installs it: a rule under another prefix would never be read (the README says
# where to copy it by hand).
install(FILES ${PROJECT_SOURCE_DIR}/cmake/udev/60-zazod-usb3-vision.rules
  DESTINATION lib/udev/rules.d COMPONENT runtime_debian EXCLUDE_FROM_ALL)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME zazod-host)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "zaZod_190 camera module and its host program
The camera module zaZod_190 for hosts of the machine-vision camera interface,
installed in /usr/lib/zazod/modules, with the camera SDK layer it binds
(emulated cameras, and GigE Vision and USB3 Vision cameras through Aravis),
and zazod-host, a small host that lists cameras and grabs frames into PNG
pictures.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME zazod-host-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "zazod-host (= ${PROJECT_VERSION}), qtbase5-dev")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "host interface of zaZod camera modules, for host builds
The headers of the camera interface (ICameraObject, CameraConfig,
ICameraFrameSink, the grab modes and name tables), its default operations as
a static library, the CMake package ZazodHost and the pkg-config file
zazod-host.")

include(CPack)
