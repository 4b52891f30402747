# The GNOME Shell extension orvel-helpers@orvel.invalid (platform/gnome/share/extension): the
# helpers' window list and capture controls on GNOME. GNOME Shell reads one folder per extension, and its two
# file sets cannot share one: 43 and 44 load extension.js as a script with legacy imports, 45 and
# later only as an ES module. So the build installs one of them, ORVEL_GNOME_SHELL_FORM, by default
# the one of the gnome-shell found on the building machine (43 when none is, as on Debian 12).
#
# orvel_write_gnome_extension(FORM ALLOWED_CALLERS FOLDER): writes extension.js and metadata.json
# of FORM into FOLDER, answering only the programs in ALLOWED_CALLERS (a list of absolute paths).
# Used at configure time (the build tree's copies, for checks) and at install time, where the
# helpers' installed paths are known (`cmake --install --prefix`, or the package's /usr).
set(ORVEL_GNOME_EXTENSION_UUID orvel-helpers@orvel.invalid)
set(ORVEL_GNOME_EXTENSION_SOURCE ${CMAKE_CURRENT_LIST_DIR}/../platform/gnome/share/extension)

function(orvel_write_gnome_extension form allowed folder)
  set(source ${ORVEL_GNOME_EXTENSION_SOURCE})
  file(READ ${source}/helper-access.js ORVEL_HELPER_ACCESS)
  file(READ ${source}/helper-windows.js ORVEL_HELPER_WINDOWS)
  file(READ ${source}/helper-capture.js ORVEL_HELPER_CAPTURE)
  set(ORVEL_ALLOWED_CALLERS "[")
  foreach(path IN LISTS allowed)
    string(REPLACE "\\" "\\\\" path "${path}")
    string(REPLACE "'" "\\'" path "${path}")
    string(APPEND ORVEL_ALLOWED_CALLERS "\n  '${path}',")
  endforeach()
  string(APPEND ORVEL_ALLOWED_CALLERS "\n]")
  configure_file(${source}/extension-${form}.js.in ${folder}/extension.js @ONLY)
  configure_file(${source}/metadata-${form}.json ${folder}/metadata.json COPYONLY)
endfunction()

if(NOT CMAKE_SCRIPT_MODE_FILE AND NOT DEFINED CACHE{ORVEL_GNOME_SHELL_FORM})
  set(form 43)
  find_program(ORVEL_GNOME_SHELL_PROGRAM gnome-shell)
  if(ORVEL_GNOME_SHELL_PROGRAM)
    execute_process(COMMAND ${ORVEL_GNOME_SHELL_PROGRAM} --version OUTPUT_VARIABLE version
                    ERROR_QUIET TIMEOUT 20)
    if(version MATCHES "GNOME Shell ([0-9]+)" AND CMAKE_MATCH_1 GREATER_EQUAL 45)
      set(form 45)
    endif()
  endif()
  set(ORVEL_GNOME_SHELL_FORM ${form} CACHE STRING
      "The GNOME Shell extension's file set to install: 43 (GNOME Shell 43-44) or 45 (45 and later)")
endif()

# orvel_install_gnome_extension(HELPER...): installs the extension to
# share/gnome-shell/extensions/<uuid>/, answering the HELPERs as installed in the helpers' folder.
function(orvel_install_gnome_extension)
  install(CODE "
    include(\"${CMAKE_CURRENT_FUNCTION_LIST_FILE}\")
    set(helperdir \"${ORVEL_HELPER_INSTALL_DIR}\")
    if(NOT IS_ABSOLUTE \"\${helperdir}\")
      set(helperdir \"\${CMAKE_INSTALL_PREFIX}/\${helperdir}\")
    endif()
    set(allowed \"\")
    foreach(helper ${ARGN})
      list(APPEND allowed \"\${helperdir}/\${helper}\")
    endforeach()
    set(folder \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATAROOTDIR}/gnome-shell/extensions/${ORVEL_GNOME_EXTENSION_UUID}\")
    message(STATUS \"Installing: \${folder}\")
    orvel_write_gnome_extension(${ORVEL_GNOME_SHELL_FORM} \"\${allowed}\" \"\${folder}\")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${folder}/extension.js\" \"\${folder}/metadata.json\")
  ")
endfunction()
