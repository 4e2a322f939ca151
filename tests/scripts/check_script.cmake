# Runs scenehost --script in a folder of its own and checks the exit code, standard error
# and standard output. Run with cmake -P and:
#   PROGRAM, EMULATOR (may be empty), SOURCE (this folder), WORK (a folder to run in),
#   SCRIPT (a script of SOURCE) or TEXT (a script's lines separated by "|", run as NAME.script,
#   or from standard input with STDIN set), SCENES (separated by "|"), CODE (exit code,
#   default 0), ERROR (text standard error must hold; else it must be empty), OUTPUT (text
#   standard output must hold).
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(GLOB files "${SOURCE}/*.scene" "${SOURCE}/*.script")
file(COPY ${files} DESTINATION "${WORK}")
if(DEFINED TEXT)
    string(REPLACE "|" "\n" lines "${TEXT}")
    set(SCRIPT "${NAME}.script")
    file(WRITE "${WORK}/${SCRIPT}" "${lines}\n")
endif()
if(NOT CODE)
    set(CODE 0)
endif()
string(REPLACE "|" ";" scenes "${SCENES}")
set(input)
if(STDIN)
    set(input INPUT_FILE "${WORK}/${SCRIPT}")
    set(SCRIPT -)
endif()
execute_process(COMMAND ${EMULATOR} "${PROGRAM}" --script ${SCRIPT} ${scenes} ${input}
                WORKING_DIRECTORY "${WORK}"
                RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(problems)
function(expect_to_hold stream text)
    string(FIND "${${stream}}" "${text}" at)
    if(at LESS 0)
        set(problems "${problems}${stream} lacks: ${text}\n" PARENT_SCOPE)
    endif()
endfunction()
if(NOT code STREQUAL CODE)
    string(APPEND problems "exit code ${code}, expected ${CODE}\n")
endif()
if(DEFINED ERROR)
    expect_to_hold(err "${ERROR}")
elseif(NOT err STREQUAL "")
    string(APPEND problems "standard error is not empty\n")
endif()
if(DEFINED OUTPUT)
    expect_to_hold(out "${OUTPUT}")
endif()
if(problems)
    message(FATAL_ERROR "${problems}--- standard error:\n${err}--- standard output:\n${out}")
endif()
