# `cpack -G DEB` in a release build: two Debian packages, as Debian splits a library: orvel-helpers
# with orvel, the helpers and libOrvel.Startup, and liborvel-startup-dev with the library's header,
# its .so link and its pkg-config and CMake files. The runtime dependencies come from
# dpkg-shlibdeps; the English language data is added by hand, as no library links it.

# cpack and `cmake --install` take what the build has built (tools/demo builds the helpers and the
# library) rather than building every test and benchmark first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Debian's machine-readable copyright: the project's licence and the notice of the Tesseract code
# linked into text-recognition-helper.
# With the changelog, compressed as Debian's tools would (gzip -9n: no name, no time).
set(ORVEL_CHANGELOG_GZ ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${ORVEL_CHANGELOG_GZ}
  COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/changelog > ${ORVEL_CHANGELOG_GZ}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog)
add_custom_target(orvel_changelog ALL DEPENDS ${ORVEL_CHANGELOG_GZ})
add_dependencies(orvel orvel_changelog)
foreach(package IN ITEMS orvel-helpers liborvel-startup-dev)
  set(component helpers)
  if(package STREQUAL liborvel-startup-dev)
    set(component dev)
  endif()
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${ORVEL_CHANGELOG_GZ}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_PACKAGE_NAME orvel-helpers)
set(CPACK_PACKAGE_VENDOR Orvel)
set(CPACK_PACKAGE_CONTACT "Orvel developers <developers@orvel.invalid>")
# Each package's description: its synopsis line, then lines of at most 80 columns (cpack does not
# wrap them). No package-wide summary, which cpack would put before both.
set(CPACK_DEBIAN_HELPERS_DESCRIPTION "screenshots: scrolling pages, frozen regions, text recognition
The orvel command takes scrolling, region and text screenshots from the
terminal or a key binding. It drives the out-of-process helpers of the Orvel
screenshot product (scroll-capture-helper, region-capture-helper,
text-recognition-helper), which run on X11, on wlroots compositors such as
sway, and on KDE Plasma. libOrvel.Startup, the login-item library, is here too.
Licensed under the Apache License 2.0.")
set(CPACK_DEBIAN_DEV_DESCRIPTION "Orvel login-item library - development files
The header, the .so link, the pkg-config file (orvel-startup) and the CMake
package (OrvelStartup, target Orvel::Startup) of libOrvel.Startup.
Licensed under the Apache License 2.0.")
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
# The library's users find it through dpkg's ldconfig trigger.
set(CPACK_DEBIAN_HELPERS_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/triggers)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_HELPERS_PACKAGE_DEPENDS tesseract-ocr-eng)
# A shlibs file and the ldconfig trigger for libOrvel.Startup.so.1.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

include(CPack)
