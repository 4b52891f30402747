# `cpack -G DEB` in a release build: two Debian packages, as Debian splits a library: orvel-helpers
# with orvel, the helpers and libOrvel.Startup, and liborvel-startup-dev with the library's header,
# its .so link and its pkg-config and CMake files. The runtime dependencies come from
# dpkg-shlibdeps; the English language data is added by hand, as no library links it.

# cpack and `cmake --install` take what the build has built (tools/demo builds the helpers and the
# library) rather than building every test and benchmark first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Debian's machine-readable copyright: the project's licence and the notice of the Tesseract code
# linked into text-recognition-helper.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvel-helpers)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/liborvel-startup-dev COMPONENT dev)

set(CPACK_PACKAGE_NAME orvel-helpers)
set(CPACK_PACKAGE_VENDOR Orvel)
set(CPACK_PACKAGE_CONTACT "Orvel developers <developers@orvel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Orvel screenshot helpers: scrolling capture, region capture, text recognition, login item")
set(CPACK_PACKAGE_DESCRIPTION
  "The orvel command (scrolling, region and text screenshots from the terminal) and the \
out-of-process helpers of the Orvel screenshot product for X11, wlroots compositors such as sway, \
and KDE Plasma (scroll-capture-helper, region-capture-helper, text-recognition-helper), with \
libOrvel.Startup, its login-item library, and its header. Licensed under the Apache License 2.0.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installed into a staging DESTDIR with the real prefix, so that the helpers' desktop entries name
# the paths the package installs them at.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${CPACK_PACKAGING_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL helpers dev)
set(CPACK_DEBIAN_HELPERS_PACKAGE_NAME orvel-helpers)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME liborvel-startup-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "orvel-helpers (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_HELPERS_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}\n${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "Orvel login-item library: development files\nThe header, the .so link, the pkg-config file \
(orvel-startup) and the CMake package (OrvelStartup, target Orvel::Startup) of libOrvel.Startup. \
Licensed under the Apache License 2.0.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_HELPERS_PACKAGE_DEPENDS tesseract-ocr-eng)
# A shlibs file and the ldconfig trigger for libOrvel.Startup.so.1.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

include(CPack)
