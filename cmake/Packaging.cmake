# `cpack -G DEB` in a release build: one Debian package with the helpers, libOrvel.Startup, its
# header and its pkg-config and CMake files. The runtime dependencies come from dpkg-shlibdeps;
# the English language data is added by hand, as no library links it.

# cpack and `cmake --install` take what the build has built (tools/demo builds the helpers and the
# library) rather than building every test and benchmark first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

set(CPACK_PACKAGE_NAME orvel-helpers)
set(CPACK_PACKAGE_VENDOR Orvel)
set(CPACK_PACKAGE_CONTACT "Orvel developers <developers@orvel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Orvel screenshot helpers: scrolling capture, region capture, text recognition, login item")
set(CPACK_PACKAGE_DESCRIPTION
  "The out-of-process helpers of the Orvel screenshot product for the X11 desktop \
(scroll-capture-helper, region-capture-helper, text-recognition-helper) and libOrvel.Startup, \
its login-item library, with its header. Licensed under the Apache License 2.0.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installed into a staging DESTDIR with the real prefix, so that the helpers' desktop entries name
# the paths the package installs them at.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${CPACK_PACKAGING_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS tesseract-ocr-eng)
# A shlibs file and the ldconfig trigger for libOrvel.Startup.so.1.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

include(CPack)
