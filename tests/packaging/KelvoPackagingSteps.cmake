# Helpers of the packaging test scripts.

# Runs a command; stops the script with its output when it fails. OUTPUT <var> keeps stdout.
function(kelvo_run_step)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "OUTPUT;WORKING_DIRECTORY" "COMMAND")
  if(NOT arg_WORKING_DIRECTORY)
    set(arg_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  execute_process(COMMAND ${arg_COMMAND} RESULT_VARIABLE result OUTPUT_VARIABLE out
                  ERROR_VARIABLE err WORKING_DIRECTORY ${arg_WORKING_DIRECTORY})
  if(NOT result EQUAL 0)
    string(REPLACE ";" " " shown "${arg_COMMAND}")
    message(FATAL_ERROR "step failed (${result}): ${shown}\n${out}\n${err}")
  endif()
  if(arg_OUTPUT)
    set(${arg_OUTPUT} "${out}" PARENT_SCOPE)
  endif()
endfunction()

# Fails unless `text` contains `expected`.
function(kelvo_expect_contains what text expected)
  string(FIND "${text}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${what}: \"${expected}\" is missing in:\n${text}")
  endif()
endfunction()

# Fails when `text` contains `unexpected`.
function(kelvo_expect_lacks what text unexpected)
  string(FIND "${text}" "${unexpected}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "${what}: \"${unexpected}\" should not be in:\n${text}")
  endif()
endfunction()
