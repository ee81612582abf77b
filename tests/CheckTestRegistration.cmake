# Fails when a registered test could pass while its program fails.
# CTest ignores the exit code of a test that has PASS_REGULAR_EXPRESSION: a
# program that prints the expected line and then crashes passes.
# Usage: cmake -DCTEST=<ctest> -DBUILD_DIR=<build tree> -P CheckTestRegistration.cmake
execute_process(COMMAND ${CTEST} --test-dir ${BUILD_DIR} --show-only=json-v1
                OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ctest could not list the tests of ${BUILD_DIR}")
endif()

string(JSON count LENGTH "${listing}" tests)
if(count EQUAL 0)
  message(FATAL_ERROR "no tests listed in ${BUILD_DIR}")
endif()
set(offenders)
math(EXPR last "${count} - 1")
foreach(index RANGE ${last})
  string(JSON name GET "${listing}" tests ${index} name)
  string(JSON properties ERROR_VARIABLE none GET "${listing}" tests ${index} properties)
  if(none)
    continue()
  endif()
  string(JSON property_count LENGTH "${properties}")
  if(property_count EQUAL 0)
    continue()
  endif()
  math(EXPR last_property "${property_count} - 1")
  foreach(property RANGE ${last_property})
    string(JSON property_name GET "${properties}" ${property} name)
    if(property_name STREQUAL "PASS_REGULAR_EXPRESSION")
      list(APPEND offenders "${name}")
    endif()
  endforeach()
endforeach()

if(offenders)
  list(JOIN offenders "\n  " names)
  message(FATAL_ERROR "These tests pass on their output whatever their exit code "
                      "(PASS_REGULAR_EXPRESSION); check the output inside the test instead:\n  ${names}")
endif()
message(STATUS "${count} tests: each fails when its program fails")
