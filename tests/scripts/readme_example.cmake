# The README's batch fix as printed there: a folder of scene files, one script over them all.
# Run with cmake -P and PROGRAM, EMULATOR (may be empty), PROJECT (the source tree), WORK.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/levels" "${WORK}/samples")
file(COPY "${PROJECT}/samples/tag-export.script" DESTINATION "${WORK}/samples")
foreach(level desk office)
    configure_file("${PROJECT}/samples/sample.scene" "${WORK}/levels/${level}.scene" COPYONLY)
endforeach()
file(GLOB levels RELATIVE "${WORK}" "${WORK}/levels/*.scene")
execute_process(COMMAND ${EMULATOR} "${PROGRAM}" --script samples/tag-export.script ${levels}
                WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE code ERROR_VARIABLE err)
if(NOT code EQUAL 0)
    message(FATAL_ERROR "exit code ${code}: ${err}")
endif()
foreach(level ${levels})
    file(READ "${WORK}/${level}" text)
    string(REGEX MATCHALL "exportVersion=2" tags "${text}")
    list(LENGTH tags count)
    # 27 nodes, of which Helpers and Trigger_Door are hidden.
    if(NOT count EQUAL 25)
        message(FATAL_ERROR "${level}: ${count} nodes tagged, expected 25")
    endif()
endforeach()
