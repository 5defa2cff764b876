# Runs lintian on the packages BuildPackages.cmake made; any error or warning fails. The tags
# the packages accept are overridden inside them, each with its reason (docs/packaging.md).
# Run with -DWORK_DIR=<the packages' scratch folder>.
include(${CMAKE_CURRENT_LIST_DIR}/KelvoPackagingSteps.cmake)
find_program(LINTIAN lintian)
if(NOT LINTIAN)
  message(FATAL_ERROR "lintian is not installed (scripts/install-deps installs it)")
endif()
file(GLOB debs ${WORK_DIR}/debs/*.deb)
if(NOT debs)
  message(FATAL_ERROR "no packages in ${WORK_DIR}/debs")
endif()
kelvo_run_step(COMMAND ${LINTIAN} --fail-on error,warning --no-tag-display-limit ${debs} OUTPUT out)
message(STATUS "lintian: no errors or warnings\n${out}")
