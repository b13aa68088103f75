# Fails when a C++ file of the library, its tools, tests, benchmarks, fuzzers or examples does
# not match the repository's .clang-format; clang-format names each file and line. Invoked by
# CTest with -DSOURCE_DIR and -DCLANG_FORMAT (empty when none was found); prints
# "format_check skipped" without version 14, since other versions lay out the same style
# differently.
if(CLANG_FORMAT)
  execute_process(COMMAND ${CLANG_FORMAT} --version OUTPUT_VARIABLE version)
endif()
if(NOT version MATCHES "version 14\\.")
  message("format_check skipped: no clang-format 14 (scripts/test.sh installs it)")
  return()
endif()
set(globs)
foreach(dir qx tools tests bench fuzz examples python)
  list(APPEND globs ${SOURCE_DIR}/${dir}/*.cpp ${SOURCE_DIR}/${dir}/*.h)
endforeach()
file(GLOB_RECURSE files ${globs})
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${files} RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "not formatted: run clang-format-14 -i on the files named above")
endif()
