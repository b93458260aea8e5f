# Installs the build into a scratch root and builds the consumer example
# against it, once with find_package(Zorva) and once with pkg-config.
# MODE=install installs with cmake --install; MODE=deb makes the Debian
# package with cpack and unpacks it (dpkg-deb -x) as a system would lay it out.
file(REMOVE_RECURSE ${WORK_DIR})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}\n${err}")
  endif()
endfunction()

if(MODE STREQUAL "deb")
  run(cpack -G DEB -B ${WORK_DIR}/deb --config ${BUILD_DIR}/CPackConfig.cmake)
  file(GLOB debs ${WORK_DIR}/deb/*.deb)
  list(LENGTH debs count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one package, found: ${debs}")
  endif()
  run(dpkg-deb -x ${debs} ${WORK_DIR}/root)
  set(PREFIX ${WORK_DIR}/root/usr)
  # The package holds the tools too.
  if(NOT EXISTS ${PREFIX}/bin/zorva_convert)
    message(FATAL_ERROR "the package lacks bin/zorva_convert")
  endif()
else()
  set(PREFIX ${WORK_DIR}/prefix)
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX})
endif()

# CMake package.
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/consumer -B ${WORK_DIR}/cmake-build
    -DCMAKE_PREFIX_PATH=${PREFIX} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
run(${WORK_DIR}/cmake-build/consumer)

# pkg-config.
file(GLOB_RECURSE pc_files ${PREFIX}/*/zorva.pc)
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
execute_process(COMMAND pkg-config --cflags --libs zorva OUTPUT_VARIABLE flags
                RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pkg-config does not know zorva")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${CXX} -std=c++17 ${SOURCE_DIR}/examples/consumer/main.cpp ${flags}
    -o ${WORK_DIR}/consumer-pc)
get_filename_component(lib_dir ${pc_dir} DIRECTORY)
set(ENV{LD_LIBRARY_PATH} ${lib_dir})
run(${WORK_DIR}/consumer-pc)
message(STATUS "installed package (${MODE}): find_package and pkg-config consumers work")
