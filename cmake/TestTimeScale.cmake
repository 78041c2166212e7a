# Read by ctest before any test is defined. Where the tests run slower than on
# the machines their limits were set on (an emulated PC), the harness sets
# TAVRIN_TIME_SCALE to a whole factor, and every test's TIMEOUT is multiplied by
# it; unset or 1, the limits stay as written.
if(DEFINED ENV{TAVRIN_TIME_SCALE} AND "$ENV{TAVRIN_TIME_SCALE}" MATCHES "^[1-9][0-9]*$"
   AND NOT "$ENV{TAVRIN_TIME_SCALE}" STREQUAL "1")
  function(set_tests_properties)
    # The arguments are passed on one by one, as written: some carry lists.
    set(call "_set_tests_properties(")
    set(timeout_next FALSE)
    math(EXPR last "${ARGC} - 1")
    foreach(i RANGE ${last})
      set(arg "${ARGV${i}}")
      if(timeout_next AND arg MATCHES "^[0-9]+$")
        math(EXPR arg "${arg} * $ENV{TAVRIN_TIME_SCALE}")
      endif()
      set(timeout_next FALSE)
      if(arg STREQUAL "TIMEOUT")
        set(timeout_next TRUE)
      endif()
      string(APPEND call " [==[${arg}]==]")
    endforeach()
    cmake_language(EVAL CODE "${call})")
  endfunction()
endif()
