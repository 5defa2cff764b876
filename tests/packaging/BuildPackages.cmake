# Builds the Debian packages from the build tree's outputs with CPack, unpacks them into a
# staging root with dpkg-deb -x (nothing is installed on the machine) and checks what each
# package holds and declares.
# Run with -DCPACK=<cpack> -DBUILD_DIR=<sdk build tree> -DSOURCE_DIR=<sdk sources>
#          -DWORK_DIR=<scratch> -DLIBDIR=<library dir below the prefix> -DVERSION=<project version>
include(${CMAKE_CURRENT_LIST_DIR}/KelvoPackagingSteps.cmake)

set(debs ${WORK_DIR}/debs)
set(root ${WORK_DIR}/root)
file(REMOVE_RECURSE ${debs} ${root})
kelvo_run_step(COMMAND ${CPACK} --config ${BUILD_DIR}/CPackConfig.cmake -B ${debs})
file(REMOVE_RECURSE ${debs}/_CPack_Packages)

string(REGEX MATCH "^[0-9]+" major "${VERSION}")
set(deb_version ${VERSION}-1)
set(runtime libkelvouisdk${major})
set(dev libkelvouisdk-dev)
set(tools kelvouisdk-tools)
set(lib usr/${LIBDIR}/libKelvoUISDK.so)

file(GLOB built RELATIVE ${debs} ${debs}/*.deb)
list(LENGTH built count)
if(NOT count EQUAL 3)
  message(FATAL_ERROR "expected three packages, CPack made: ${built}")
endif()

# Contents: "<mode> <path>" per entry, directories left out.
set(all_files)
foreach(package runtime dev tools)
  set(name ${${package}})
  file(GLOB deb ${debs}/${name}_${deb_version}_*.deb)
  if(NOT deb)
    message(FATAL_ERROR "no package ${name} ${deb_version} among: ${built}")
  endif()
  set(${package}_deb ${deb})
  kelvo_run_step(COMMAND dpkg-deb -f ${deb} Package Version Depends OUTPUT ${package}_control)
  kelvo_run_step(COMMAND dpkg-deb -c ${deb} OUTPUT listing)
  string(REGEX REPLACE "\n$" "" listing "${listing}")
  string(REPLACE "\n" ";" listing "${listing}")
  set(entries)
  foreach(line IN LISTS listing)
    if(line MATCHES "^([-l][^ ]+) .* \\./([^ ]+)( -> .*)?$")
      list(APPEND entries "${CMAKE_MATCH_1} ${CMAKE_MATCH_2}")
      list(APPEND all_files "${CMAKE_MATCH_2}")
    endif()
  endforeach()
  string(REPLACE ";" "\n" entries "${entries}")
  set(${package}_files "${entries}\n")
  kelvo_expect_contains("${name} copyright" "${entries}" "usr/share/doc/${name}/copyright")
  kelvo_expect_contains("${name} changelog" "${entries}" "usr/share/doc/${name}/changelog.Debian.gz")
  kelvo_run_step(COMMAND dpkg-deb -x ${deb} ${root})
endforeach()

# No file belongs to two packages (they could not be installed together).
set(unique ${all_files})
list(REMOVE_DUPLICATES unique)
list(LENGTH all_files total)
list(LENGTH unique distinct)
if(NOT total EQUAL distinct)
  message(FATAL_ERROR "a file is in more than one package:\n${all_files}")
endif()

# The runtime package: the library, not executable, under its SONAME; nothing to build with.
kelvo_expect_contains(${runtime} "${runtime_files}" "-rw-r--r-- ${lib}.${VERSION}\n")
kelvo_expect_contains(${runtime} "${runtime_files}" "lrwxrwxrwx ${lib}.${major}\n")
kelvo_expect_lacks(${runtime} "${runtime_files}" " ${lib}\n")
kelvo_expect_lacks(${runtime} "${runtime_files}" "usr/include/")
kelvo_expect_contains("${runtime} version" "${runtime_control}" "Version: ${deb_version}")
# The dependencies were computed from the library: the widgets and SVG drawing at run time.
foreach(dependency libqt6core6 libqt6network6 libqt6widgets6 libqt6svg6 libssl3 libc6)
  kelvo_expect_contains("${runtime} dependencies" "${runtime_control}" "${dependency} (")
endforeach()
kelvo_run_step(COMMAND dpkg-deb -I ${runtime_deb} shlibs OUTPUT shlibs)
kelvo_expect_contains("${runtime} shlibs" "${shlibs}" "libKelvoUISDK ${major} ${runtime} (>= ${deb_version})")
kelvo_run_step(COMMAND dpkg-deb -I ${runtime_deb} triggers OUTPUT triggers)
kelvo_expect_contains("${runtime} triggers" "${triggers}" "activate-noawait ldconfig")

# The development package: every public header, the linker name, the CMake and pkg-config files,
# and the exact runtime package.
file(GLOB headers RELATIVE ${SOURCE_DIR}/include ${SOURCE_DIR}/include/KelvoUISDK/*.h)
foreach(header IN LISTS headers)
  kelvo_expect_contains(${dev} "${dev_files}" "-rw-r--r-- usr/include/${header}\n")
endforeach()
kelvo_expect_contains(${dev} "${dev_files}" "lrwxrwxrwx ${lib}\n")
foreach(file cmake/KelvoUISDK/KelvoUISDKConfig.cmake cmake/KelvoUISDK/KelvoUISDKConfigVersion.cmake
             cmake/KelvoUISDK/KelvoUISDKTargets.cmake pkgconfig/KelvoUISDK.pc)
  kelvo_expect_contains(${dev} "${dev_files}" " usr/${LIBDIR}/${file}\n")
endforeach()
kelvo_expect_lacks(${dev} "${dev_files}" "${lib}.${VERSION}")
kelvo_expect_contains("${dev} dependencies" "${dev_control}" "${runtime} (= ${deb_version})")
kelvo_expect_contains("${dev} dependencies" "${dev_control}" "qt6-base-dev")

# The tools package: both programs with their manual pages, on the library of this version.
foreach(program kelvo-host kelvo-meeting-sim)
  kelvo_expect_contains(${tools} "${tools_files}" "-rwxr-xr-x usr/bin/${program}\n")
  kelvo_expect_contains(${tools} "${tools_files}" " usr/share/man/man1/${program}.1.gz\n")
endforeach()
kelvo_expect_contains("${tools} dependencies" "${tools_control}" "${runtime} (= ${deb_version})")

# Installed binaries carry no path of the build tree and are stripped.
foreach(binary ${lib}.${VERSION} usr/bin/kelvo-host usr/bin/kelvo-meeting-sim)
  kelvo_run_step(COMMAND readelf -d -S -W ${root}/${binary} OUTPUT dynamic)
  kelvo_expect_lacks("${binary} run path" "${dynamic}" "RPATH")
  kelvo_expect_lacks("${binary} run path" "${dynamic}" "RUNPATH")
  kelvo_expect_lacks("${binary} symbols" "${dynamic}" ".symtab")
endforeach()
kelvo_run_step(COMMAND readelf -d ${root}/${lib}.${VERSION} OUTPUT dynamic)
kelvo_expect_contains("library name" "${dynamic}" "Library soname: [libKelvoUISDK.so.${major}]")
message(STATUS "${built} unpacked into ${root}")
