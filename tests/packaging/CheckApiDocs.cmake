# Generates the API reference from the public headers with docs/Doxyfile, which fails on any
# warning: an exported declaration without documentation fails the test. A copy of the headers
# with one undocumented function must fail, so a configuration that stopped failing is caught.
# Run with -DSOURCE_DIR=<sdk sources> -DWORK_DIR=<scratch>.
include(${CMAKE_CURRENT_LIST_DIR}/KelvoPackagingSteps.cmake)
find_program(DOXYGEN doxygen)
if(NOT DOXYGEN)
  message(FATAL_ERROR "doxygen is not installed (scripts/install-deps installs it)")
endif()
file(REMOVE_RECURSE ${WORK_DIR})

function(run_doxygen input output result_var log_var)
  file(MAKE_DIRECTORY ${output})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env KELVO_API_INPUT=${input} KELVO_API_OUTPUT=${output}
                          ${DOXYGEN} ${SOURCE_DIR}/docs/Doxyfile
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${result_var} ${result} PARENT_SCOPE)
  set(${log_var} "${out}${err}" PARENT_SCOPE)
endfunction()

run_doxygen(${SOURCE_DIR}/include/KelvoUISDK ${WORK_DIR}/api result log)
if(NOT result EQUAL 0 OR NOT log STREQUAL "")
  message(FATAL_ERROR "the public headers are not fully documented:\n${log}")
endif()
foreach(page index.html classKLUISDKMeetingMainWindow.html classKLUISDKMeetingEventDelegate.html
             KLUISDKMeetingConfigKeys_8h.html KLSDKDispatch_8h.html)
  if(NOT EXISTS ${WORK_DIR}/api/html/${page})
    message(FATAL_ERROR "the API reference has no ${page}")
  endif()
endforeach()

file(COPY ${SOURCE_DIR}/include/KelvoUISDK DESTINATION ${WORK_DIR}/probe)
file(APPEND ${WORK_DIR}/probe/KelvoUISDK/KLSDKDispatch.h "\nKELVOUISDK_EXPORT void KLUndocumentedProbe();\n")
run_doxygen(${WORK_DIR}/probe/KelvoUISDK ${WORK_DIR}/probe-api result log)
if(result EQUAL 0)
  message(FATAL_ERROR "an undocumented exported function did not fail the API reference")
endif()
kelvo_expect_contains("the failing reference names the function" "${log}" "KLUndocumentedProbe")
message(STATUS "API reference in ${WORK_DIR}/api/html")
