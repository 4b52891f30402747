# orvel_target_runs(TARGET MACRO=program ...): TARGET runs the built `program`, whose path it gets
# as the string macro MACRO; building TARGET builds `program` first.
function(orvel_target_runs target)
  foreach(run IN LISTS ARGN)
    string(REPLACE "=" ";" pair "${run}")
    list(GET pair 0 macro)
    list(GET pair 1 program)
    target_compile_definitions(${target} PRIVATE ${macro}="$<TARGET_FILE:${program}>")
    add_dependencies(${target} ${program})
  endforeach()
endfunction()
