# Where `cmake --install` puts each part, relative to the prefix. Everything that needs a path from
# one installed part to another (the module's RUNPATH, zazod-host's default module) derives it from
# these, so the installation stays relocatable.
set(ZAZOD_INSTALL_BINDIR bin)
set(ZAZOD_INSTALL_LIBDIR lib)
set(ZAZOD_INSTALL_MODULEDIR lib/zazod/modules)
set(ZAZOD_INSTALL_INCLUDEDIR include/zazod-host)
set(ZAZOD_INSTALL_CMAKEDIR lib/cmake/ZazodHost)
set(ZAZOD_INSTALL_PKGCONFIGDIR lib/pkgconfig)
set(ZAZOD_INSTALL_DOCDIR share/doc/zazod-host)

# The module finds the SDK layer in the library folder; zazod-host finds the module.
file(RELATIVE_PATH ZAZOD_MODULE_TO_LIBDIR /${ZAZOD_INSTALL_MODULEDIR} /${ZAZOD_INSTALL_LIBDIR})
string(REGEX REPLACE "/$" "" ZAZOD_MODULE_TO_LIBDIR "${ZAZOD_MODULE_TO_LIBDIR}")
file(RELATIVE_PATH ZAZOD_BINDIR_TO_MODULEDIR /${ZAZOD_INSTALL_BINDIR} /${ZAZOD_INSTALL_MODULEDIR})
