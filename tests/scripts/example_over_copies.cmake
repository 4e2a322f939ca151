# The README's examples run one sample script over a folder of copies of a sample scene.
# run_example(SCRIPT SAMPLE FOLDER FILES NAME...): copies samples/SAMPLE into WORK/FOLDER once
# for each NAME (keeping its extension), runs samples/SCRIPT over them from WORK as printed,
# fails on a non-zero exit, and sets FILES to the copies' paths relative to WORK.
function(run_example script sample folder files)
    file(REMOVE_RECURSE "${WORK}")
    file(MAKE_DIRECTORY "${WORK}/${folder}" "${WORK}/samples")
    file(COPY "${PROJECT}/samples/${script}" DESTINATION "${WORK}/samples")
    get_filename_component(extension "${sample}" LAST_EXT)
    foreach(name ${ARGN})
        configure_file("${PROJECT}/samples/${sample}" "${WORK}/${folder}/${name}${extension}"
                       COPYONLY)
    endforeach()
    file(GLOB copies RELATIVE "${WORK}" "${WORK}/${folder}/*${extension}")
    execute_process(COMMAND ${EMULATOR} "${PROGRAM}" --script samples/${script} ${copies}
                    WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE code ERROR_VARIABLE err)
    if(NOT code EQUAL 0)
        message(FATAL_ERROR "exit code ${code}: ${err}")
    endif()
    set(${files} ${copies} PARENT_SCOPE)
endfunction()
