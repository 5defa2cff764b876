# Debian packages built with CPack (scripts/package, or `cpack` in a configured build tree):
#   libkelvouisdk<major>  the shared library                                 component runtime
#   libkelvouisdk-dev     headers, CMake package, pkg-config file            component dev
#   kelvouisdk-tools      kelvo-host and kelvo-meeting-sim, for developers   component tools
# Run-time dependencies are computed with dpkg-shlibdeps; the version is the project's.
# Included from the top-level CMakeLists.txt after every target exists.
include(GNUInstallDirs)

set(KELVO_DEB_RUNTIME libkelvouisdk${PROJECT_VERSION_MAJOR})
set(KELVO_DEB_DEV libkelvouisdk-dev)
set(KELVO_DEB_TOOLS kelvouisdk-tools)
set(KELVO_DEB_RELEASE 1)
set(KELVO_DEB_VERSION ${PROJECT_VERSION}-${KELVO_DEB_RELEASE})
set(KELVO_DEB_MAINTAINER "Kelvo SDK maintainers <sdk-maintainers@kelvo.example>")

# The developers' programs, when this build has them.
set(KELVO_DEB_COMPONENTS runtime dev)
set(kelvo_tool_targets)
foreach(tool kelvo-host kelvo-meeting-sim)
  if(TARGET ${tool})
    list(APPEND kelvo_tool_targets ${tool})
  endif()
endforeach()
if(kelvo_tool_targets)
  install(TARGETS ${kelvo_tool_targets} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  list(APPEND KELVO_DEB_COMPONENTS tools)
endif()

# Debian wants manual pages and changelogs compressed the reproducible way (no name and no time
# stamp in the gzip header).
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/debian)
function(kelvo_deb_gzip source target)
  execute_process(COMMAND gzip -9 -n -c ${source} OUTPUT_FILE ${target} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "gzip could not compress ${source}")
  endif()
endfunction()

if(kelvo_tool_targets)
  foreach(tool IN LISTS kelvo_tool_targets)
    kelvo_deb_gzip(${PROJECT_SOURCE_DIR}/cmake/debian/${tool}.1 ${PROJECT_BINARY_DIR}/debian/${tool}.1.gz)
    install(FILES ${PROJECT_BINARY_DIR}/debian/${tool}.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
  endforeach()
endif()

# What every Debian package carries under /usr/share/doc/<package>: the copyright file and the
# changelog.
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in
               ${PROJECT_BINARY_DIR}/debian/changelog.Debian @ONLY)
kelvo_deb_gzip(${PROJECT_BINARY_DIR}/debian/changelog.Debian ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz)
# Each package also carries the lintian tags its maintainers accept, with the reason beside each
# (docs/packaging.md lists them).
foreach(component IN LISTS KELVO_DEB_COMPONENTS)
  string(TOUPPER ${component} upper)
  set(package ${KELVO_DEB_${upper}})
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
                ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/${component}.lintian-overrides.in
                 ${PROJECT_BINARY_DIR}/debian/overrides/${package} @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/debian/overrides/${package}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvouisdk)
set(CPACK_PACKAGE_VENDOR "Kelvo")
set(CPACK_PACKAGE_CONTACT "${KELVO_DEB_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${KELVO_DEB_COMPONENTS})
set(CPACK_DEB_COMPONENT_INSTALL ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KELVO_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KELVO_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://sdk.kelvo.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The runtime package declares its library in a shlibs file (only that package has one).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# kelvo-host links the SDK library of the runtime package built alongside it: dpkg-shlibdeps
# finds it in the build tree and leaves it out, so the tools name that package themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${KELVO_DEB_RUNTIME})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# The loader's cache is refreshed through libc's ldconfig trigger.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
"video meeting SDK for Qt desktop hosts
KelvoUISDK is a library that a desktop application loads to run a complete
video meeting in a window of its own: the host hands over two dictionaries
and a delegate, calls joinMeeting() and hears back through four callbacks.
.
This package contains the shared library with its string tables (English
and Chinese) and icons.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${KELVO_DEB_DEV})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${KELVO_DEB_RUNTIME} (= ${KELVO_DEB_VERSION}), qt6-base-dev (>= 6.4)")
set(CPACK_COMPONENT_DEV_DESCRIPTION
"video meeting SDK for Qt desktop hosts - development files
KelvoUISDK is a library that a desktop application loads to run a complete
video meeting in a window of its own.
.
This package contains the headers, the CMake package (find_package(KelvoUISDK))
and the pkg-config file needed to build a host against the library.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${KELVO_DEB_TOOLS})
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${KELVO_DEB_RUNTIME} (= ${KELVO_DEB_VERSION})")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
"video meeting SDK for Qt desktop hosts - developer tools
KelvoUISDK is a library that a desktop application loads to run a complete
video meeting in a window of its own.
.
This package contains tools for developers' machines: kelvo-meeting-sim, a
local meeting service on the loopback interface to develop and test hosts
against, and kelvo-host, a sample host that joins a meeting from its command
line and reports what happens as lines or JSON events.")

include(CPack)
