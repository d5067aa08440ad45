# cpack -G DEB: one package with both libraries, their headers, the CMake and
# pkg-config files, the Designer plugin and the demo. Runtime dependencies come
# from dpkg-shlibdeps; the development packages a host needs to compile against
# the headers are added by hand.
set(CPACK_PACKAGE_NAME arvelle)
set(CPACK_PACKAGE_VENDOR Zentho)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION}.0)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Graph editor widget for animation function curves (Qt 5) and its curve model")
set(CPACK_PACKAGE_CONTACT "Zentho Arvelle maintainers <arvelle@zentho.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qtbase5-dev (>= 5.15), libgl-dev")
set(CPACK_GENERATOR DEB)
include(CPack)
