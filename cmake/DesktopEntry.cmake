# orvel_install_desktop_entry(HELPER NAME <name> [DBUS <interface>...] [WAYLAND <interface>...]):
# installs share/applications/orvel-<HELPER>.desktop, the entry by which KDE Plasma's compositor
# lets the installed helper use its restricted D-Bus interfaces and Wayland globals. KWin matches
# the entry's Exec= against the running program's absolute path, so Exec= is written at install
# time from the prefix the install goes to (`cmake --install --prefix`, or the package's /usr).
set(ORVEL_DESKTOP_ENTRY_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/helper.desktop.in)
function(orvel_install_desktop_entry helper)
  cmake_parse_arguments(ARG "" "NAME" "DBUS;WAYLAND" ${ARGN})
  list(JOIN ARG_DBUS "," dbus)
  list(JOIN ARG_WAYLAND "," wayland)
  install(CODE "
    set(helperdir \"${ORVEL_HELPER_INSTALL_DIR}\")
    if(NOT IS_ABSOLUTE \"\${helperdir}\")
      set(helperdir \"\${CMAKE_INSTALL_PREFIX}/\${helperdir}\")
    endif()
    set(entry_name \"${ARG_NAME}\")
    set(entry_exec \"\${helperdir}/${helper}\")
    set(entry_dbus \"${dbus}\")
    set(entry_wayland \"${wayland}\")
    set(entry \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATAROOTDIR}/applications/orvel-${helper}.desktop\")
    message(STATUS \"Installing: \${entry}\")
    configure_file(\"${ORVEL_DESKTOP_ENTRY_TEMPLATE}\" \"\${entry}\" @ONLY)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${entry}\")
  ")
endfunction()
