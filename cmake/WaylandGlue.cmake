# orvel_wayland_glue(TARGET XML...): a static library of the C glue that wayland-scanner generates
# for the client side of the protocol descriptions, with their headers on its include path.
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
function(orvel_wayland_glue target)
  set(glue_dir ${CMAKE_CURRENT_BINARY_DIR}/protocols)
  file(MAKE_DIRECTORY ${glue_dir})
  set(glue_sources)
  foreach(xml ${ARGN})
    get_filename_component(name ${xml} NAME_WE)
    add_custom_command(
      OUTPUT ${glue_dir}/${name}-client-protocol.h ${glue_dir}/${name}-protocol.c
      COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${glue_dir}/${name}-client-protocol.h
      # C names that C++ reserves (layer-shell's `namespace` argument).
      COMMAND sed -i -e "s/\\bnamespace\\b/name_space/g" ${glue_dir}/${name}-client-protocol.h
      COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${glue_dir}/${name}-protocol.c
      DEPENDS ${xml}
      VERBATIM)
    list(APPEND glue_sources ${glue_dir}/${name}-client-protocol.h ${glue_dir}/${name}-protocol.c)
  endforeach()
  add_library(${target} STATIC ${glue_sources})
  target_include_directories(${target} PUBLIC ${glue_dir})
endfunction()
