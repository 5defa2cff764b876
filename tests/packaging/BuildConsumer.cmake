# Installs the SDK into a scratch prefix, then configures, builds and runs a small host
# program that finds it with find_package(KelvoUISDK) and through pkg-config.
# Run with -DBUILD_DIR=<sdk build tree> -DSOURCE_DIR=<consumer sources> -DWORK_DIR=<scratch>.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run_step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "step failed: ${ARGN}\n${out}\n${err}")
  endif()
endfunction()

run_step(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component Unspecified)
run_step(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G Ninja
         -DCMAKE_PREFIX_PATH=${prefix})
run_step(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run_step(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/lib:${prefix}/lib/x86_64-linux-gnu
         QT_QPA_PLATFORM=offscreen ${WORK_DIR}/build/kelvo-consumer)

file(GLOB_RECURSE pc_files ${prefix}/*/KelvoUISDK.pc)
if(NOT pc_files)
  message(FATAL_ERROR "no pkg-config file installed")
endif()
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)
run_step(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir} pkg-config --exists --print-errors KelvoUISDK)
