# Fails unless the library's dynamic symbol table defines exactly the two C exports and carries a
# SONAME. Run as: cmake -DNM=... -DREADELF=... -DLIBRARY=... -P check_exports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE symbols
                RESULT_VARIABLE nm_result)
if(NOT nm_result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" names "${symbols}")
list(TRANSFORM names STRIP)
list(SORT names)
if(NOT names STREQUAL "orvel_startup_set;orvel_startup_status")
  message(FATAL_ERROR "unexpected exports: ${names}")
endif()
execute_process(COMMAND ${READELF} -d ${LIBRARY} OUTPUT_VARIABLE dynamic)
if(NOT dynamic MATCHES "Library soname: \\[libOrvel\\.Startup\\.so\\.[0-9]+\\]")
  message(FATAL_ERROR "no SONAME in ${LIBRARY}")
endif()
