# The README's batch fix as printed there: a folder of scene files, one script over them all.
# Run with cmake -P and PROGRAM, EMULATOR (may be empty), PROJECT (the source tree), WORK.
include("${CMAKE_CURRENT_LIST_DIR}/example_over_copies.cmake")
run_example(tag-export.script sample.scene levels levels desk office)
foreach(level ${levels})
    file(READ "${WORK}/${level}" text)
    string(REGEX MATCHALL "exportVersion=2" tags "${text}")
    list(LENGTH tags count)
    # 27 nodes, of which Helpers and Trigger_Door are hidden.
    if(NOT count EQUAL 25)
        message(FATAL_ERROR "${level}: ${count} nodes tagged, expected 25")
    endif()
endforeach()
