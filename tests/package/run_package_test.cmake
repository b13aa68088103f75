# Installs the built qx into a temporary prefix, then configures and builds each host project
# against it and runs their programs, and builds one more host with the compiler CXX through
# pkg-config from a moved copy of the prefix. Invoked by CTest with -DBUILD_DIR, -DWORK_DIR,
# -DCXX, -DPROJECTS (project folders) and -DRUN (programs as FOLDER_NAME/PROGRAM), both lists
# separated by '|'.
string(REPLACE "|" ";" PROJECTS "${PROJECTS}")
string(REPLACE "|" ";" RUN "${RUN}")
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
foreach(f include/qx/qx.h lib/pkgconfig/qx.pc lib/cmake/qx/qxConfig.cmake)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "missing from the package: ${f}")
  endif()
endforeach()
if(EXISTS ${prefix}/include/qx/functions/linalg_numeric_internal.h)
  message(FATAL_ERROR "an internal header was installed")
endif()
foreach(project ${PROJECTS})
  get_filename_component(name ${project} NAME)
  set(bin ${WORK_DIR}/build-${name})
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${project} -B ${bin} -DCMAKE_PREFIX_PATH=${prefix}
                  RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "configuring ${name} failed")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${bin} RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "building ${name} failed")
  endif()
endforeach()
foreach(program ${RUN})
  string(REPLACE "/" ";" parts ${program})
  list(GET parts 0 name)
  list(GET parts 1 exe)
  execute_process(COMMAND ${WORK_DIR}/build-${name}/${exe} RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "the host program ${exe} failed: ${rc}")
  endif()
endforeach()
# A host built through pkg-config from a copy of the prefix in another place: qx.pc finds the
# headers and the library relative to itself.
set(moved ${WORK_DIR}/moved)
file(COPY ${prefix}/ DESTINATION ${moved})
find_program(PKG_CONFIG pkg-config REQUIRED)
execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${moved}/lib/pkgconfig
                        ${PKG_CONFIG} --cflags --libs qx
                OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
if(rc OR NOT flags MATCHES "-I${moved}/")
  message(FATAL_ERROR "pkg-config does not point into the moved prefix: ${flags}")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
execute_process(COMMAND ${CXX} ${CMAKE_CURRENT_LIST_DIR}/main.cpp ${flags}
                        -o ${WORK_DIR}/qx_host_pkgconfig RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "building a host with pkg-config failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${moved}/lib
                        ${WORK_DIR}/qx_host_pkgconfig RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the host built with pkg-config failed: ${rc}")
endif()

# qxrun is installed with the library when the tools are built: it must find libqx.so in the
# prefix by itself.
if(EXISTS ${prefix}/bin/qxrun)
  execute_process(COMMAND ${prefix}/bin/qxrun -e "double x; x = 6 * 7;"
                  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(rc OR NOT out STREQUAL "x = 42;\n")
    message(FATAL_ERROR "the installed qxrun failed: ${rc} ${out}")
  endif()
endif()
