# Builds host programs against the packages unpacked by BuildPackages.cmake, and against nothing
# else: the consumer check (find_package, then again through pkg-config) and the minimal
# example host. The consumer runs; the example is run by RunMinimalHost.sh.
# Run with -DSTAGING=<unpacked root> -DLIBDIR=<library dir below the prefix>
#          -DCONSUMER_DIR=<consumer sources> -DEXAMPLE_DIR=<examples/minimal-host>
#          -DWORK_DIR=<scratch>
include(${CMAKE_CURRENT_LIST_DIR}/KelvoPackagingSteps.cmake)

set(prefix ${STAGING}/usr)
set(libdir ${prefix}/${LIBDIR})
if(NOT EXISTS ${libdir}/libKelvoUISDK.so)
  message(FATAL_ERROR "no unpacked development package under ${STAGING}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})

# Configures and builds one project; the SDK must be found in the staging root.
function(build_against_staging name source)
  set(build ${WORK_DIR}/${name})
  kelvo_run_step(COMMAND ${CMAKE_COMMAND} -S ${source} -B ${build} -G Ninja
                 -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=${prefix}
                 -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF)
  file(STRINGS ${build}/CMakeCache.txt found REGEX "^KelvoUISDK_DIR:")
  kelvo_expect_contains("${name}: the SDK's CMake package" "${found}" "=${libdir}/cmake/KelvoUISDK")
  kelvo_run_step(COMMAND ${CMAKE_COMMAND} --build ${build})
endfunction()

build_against_staging(consumer ${CONSUMER_DIR})
build_against_staging(minimal-host ${EXAMPLE_DIR})

# Both programs load the unpacked library (their run path points there), not the build tree's.
foreach(program consumer/kelvo-consumer minimal-host/minimal-host)
  kelvo_run_step(COMMAND ldd ${WORK_DIR}/${program} OUTPUT loaded)
  kelvo_expect_contains("${program} loads" "${loaded}" "libKelvoUISDK.so.1 => ${libdir}/libKelvoUISDK.so.1")
endforeach()
kelvo_run_step(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${WORK_DIR}/consumer/kelvo-consumer)

# The pkg-config file: its paths follow the place it was unpacked to, and they build the consumer.
set(pc_env ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${libdir}/pkgconfig)
kelvo_run_step(COMMAND ${pc_env} pkg-config --modversion KelvoUISDK OUTPUT version)
kelvo_run_step(COMMAND ${pc_env} pkg-config --cflags KelvoUISDK OUTPUT cflags)
kelvo_run_step(COMMAND ${pc_env} pkg-config --libs KelvoUISDK OUTPUT libs)
string(STRIP "${cflags}" cflags)
string(STRIP "${libs}" libs)
kelvo_expect_contains("pkg-config include path" "${cflags}" "-I${libdir}/pkgconfig/")
kelvo_expect_contains("pkg-config library path" "${libs}" "-L${libdir}/pkgconfig/")
kelvo_expect_contains("pkg-config library" "${libs}" "-lKelvoUISDK")
separate_arguments(cflags UNIX_COMMAND "${cflags}")
separate_arguments(libs UNIX_COMMAND "${libs}")
kelvo_run_step(COMMAND c++ -std=c++20 -fPIC ${cflags} ${CONSUMER_DIR}/main.cpp -o ${WORK_DIR}/pc-consumer
                       ${libs} -Wl,-rpath,${libdir})
kelvo_run_step(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${WORK_DIR}/pc-consumer)
message(STATUS "built against ${STAGING} (pkg-config version ${version})")
