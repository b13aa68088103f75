# Installs the built qx into a temporary prefix and moves it elsewhere, so that everything must
# find the prefix relative to itself; then builds the example host in HOST_DIR against it with
# find_package and, with the compiler CXX, through pkg-config, runs both, and runs the installed
# qxrun on the demo script. Invoked by CTest with -DBUILD_DIR, -DWORK_DIR, -DHOST_DIR and -DCXX.
function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out)
  if(rc)
    message(FATAL_ERROR "${what} failed: ${rc}\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
run("installing" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/installed)
set(prefix ${WORK_DIR}/moved)
file(RENAME ${WORK_DIR}/installed ${prefix})
file(GLOB_RECURSE internal ${prefix}/include/*internal*)
if(internal)
  message(FATAL_ERROR "internal headers were installed: ${internal}")
endif()

run("configuring the host" ${CMAKE_COMMAND} -S ${HOST_DIR} -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${prefix})
run("building the host" ${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run("the host built with find_package" ${WORK_DIR}/build/qx_host_example)

find_program(PKG_CONFIG pkg-config REQUIRED)
run("pkg-config" ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/lib/pkgconfig ${PKG_CONFIG}
    --cflags --libs qx)
separate_arguments(flags UNIX_COMMAND "${out}")
run("building the host with pkg-config" ${CXX} ${HOST_DIR}/main.cpp ${flags}
    -o ${WORK_DIR}/host_pkgconfig)
run("the host built with pkg-config" ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/lib
    ${WORK_DIR}/host_pkgconfig)

# qxrun is installed with the library when the tools are built: it finds libqx.so by itself.
if(EXISTS ${prefix}/bin/qxrun)
  run("the installed qxrun" ${prefix}/bin/qxrun ${HOST_DIR}/../demo.qx)
endif()
