# Run after a test program is built: lists its tests and writes one CTest test per
# test suite. A whole suite runs in one process, which spares a program start (and the
# sanitizers' start-up and exit-time leak scan) per test; the test main still gives
# every test its own user folder and fresh process-wide objects.
#
# Inputs: TEST_EXE, PREFIX, OUT_FILE, WORK_DIR, TIMEOUT.
execute_process(COMMAND "${TEST_EXE}" --gtest_list_tests
  WORKING_DIRECTORY "${WORK_DIR}"
  OUTPUT_VARIABLE listing RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "Could not list the tests of ${TEST_EXE} (${rc}): ${err}")
endif()

string(REPLACE ";" "\\;" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(script "")
foreach(line IN LISTS lines)
  # Suite lines start in the first column and end with '.', followed by an optional
  # "  # TypeParam = ..." remark; test lines are indented.
  if(line MATCHES "^([^ #][^ ]*)\\.( .*)?$")
    set(suite "${CMAKE_MATCH_1}")
    if(NOT suite MATCHES "^DISABLED_")
      set(name "${PREFIX}.${suite}")
      # The suites that draw are the longest: start them first so a run on few cores
      # does not end waiting on one of them.
      set(cost 1)
      if(suite MATCHES "GLTest|Screenshot|Budget")
        set(cost 100)
      endif()
      # The effects' budget suites run hundreds of full frames of a crowded battle: on a
      # machine busy with other tests they take many minutes, and only a hang should end
      # them.
      set(timeout ${TIMEOUT})
      if(suite MATCHES "^[A-Za-z]+BudgetTest$")
        math(EXPR timeout "${TIMEOUT} * 3")
      endif()
      string(APPEND script
        "add_test([==[${name}]==] [==[${TEST_EXE}]==] [==[--gtest_filter=${suite}.*]==])\n"
        "set_tests_properties([==[${name}]==] PROPERTIES WORKING_DIRECTORY [==[${WORK_DIR}]==] TIMEOUT ${timeout} COST ${cost} SKIP_RETURN_CODE 77)\n")
    endif()
  endif()
endforeach()
file(WRITE "${OUT_FILE}" "${script}")
