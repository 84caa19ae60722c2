# Lab tests: programs that need a network of their own run inside a throw-away lab made by
# tests/lab/lab-run (root only; without root they are skipped with exit code 77).
#
#   quendrix_add_lab_test(NAME <name>
#                         [SOURCES <files...> LIBS <targets...> [GUI]]
#                         [COMMAND <program-or-target> <args...>]
#                         [LAB_OPTIONS <dns-lab up options...>]
#                         [TIMEOUT <seconds>])
#
# With SOURCES a test program is built as quendrix_add_test builds one, and it is the command
# unless COMMAND is given. The program is never registered on its own: outside the lab it
# would resolve through the machine's DNS. LAB_OPTIONS go to `dns-lab up` (--delay-ms N,
# --bench-names N). Tests carry the label `lab` and run one at a time.

set(QUENDRIX_LAB_DIR ${CMAKE_CURRENT_LIST_DIR})

function(quendrix_add_lab_test)
  cmake_parse_arguments(L "GUI" "NAME;TIMEOUT" "SOURCES;LIBS;COMMAND;LAB_OPTIONS" ${ARGN})
  if(NOT L_NAME)
    message(FATAL_ERROR "quendrix_add_lab_test: NAME is required")
  endif()
  if(L_SOURCES)
    set(gui)
    if(L_GUI)
      set(gui GUI)
    endif()
    quendrix_add_test_program(${L_NAME} ${gui} SOURCES ${L_SOURCES} LIBS ${L_LIBS})
    if(NOT L_COMMAND)
      set(L_COMMAND ${L_NAME})
    endif()
  endif()
  if(NOT L_COMMAND)
    message(FATAL_ERROR "quendrix_add_lab_test(${L_NAME}): give SOURCES or COMMAND")
  endif()
  if(NOT L_TIMEOUT)
    set(L_TIMEOUT 300)
  endif()

  # add_test only maps a target name to its file in the first word, which is lab-run here.
  list(POP_FRONT L_COMMAND program)
  if(TARGET ${program})
    # Building the test builds the lab's forwarder too, for labs made with --delay-ms.
    add_dependencies(${program} lab_dns_delay)
    set(program $<TARGET_FILE:${program}>)
  endif()

  add_test(NAME ${L_NAME}
    COMMAND ${QUENDRIX_LAB_DIR}/lab-run dns ${L_LAB_OPTIONS} -- ${program} ${L_COMMAND})
  set_tests_properties(${L_NAME} PROPERTIES
    LABELS lab
    SKIP_RETURN_CODE 77
    RUN_SERIAL TRUE
    TIMEOUT ${L_TIMEOUT}
    ENVIRONMENT "${QUENDRIX_TEST_ENVIRONMENT};QUENDRIX_LAB_DNS_DELAY=$<TARGET_FILE:lab_dns_delay>")
endfunction()

# Trace lab tests: a program run inside the router chain of tests/lab/trace/run-trace-lab.sh,
# once per socket kind (RUNS: raw, datagram, none; all three unless given).
#
#   quendrix_add_trace_lab_test(NAME <name> SOURCES <files...> LIBS <targets...> [GUI]
#                               [RUNS <runs...>] [ARGS <args...>] [TIMEOUT <seconds>])
function(quendrix_add_trace_lab_test)
  cmake_parse_arguments(L "GUI" "NAME;TIMEOUT" "SOURCES;LIBS;RUNS;ARGS" ${ARGN})
  if(NOT L_NAME OR NOT L_SOURCES)
    message(FATAL_ERROR "quendrix_add_trace_lab_test: NAME and SOURCES are required")
  endif()
  set(gui)
  if(L_GUI)
    set(gui GUI)
  endif()
  quendrix_add_test_program(${L_NAME} ${gui} SOURCES ${L_SOURCES} LIBS ${L_LIBS})
  if(NOT L_RUNS)
    set(L_RUNS raw datagram none)
  endif()
  list(JOIN L_RUNS "," runs)
  if(NOT L_TIMEOUT)
    set(L_TIMEOUT 300)
  endif()
  add_test(NAME ${L_NAME}
    COMMAND ${QUENDRIX_LAB_DIR}/trace/run-trace-lab.sh --runs ${runs}
            -- $<TARGET_FILE:${L_NAME}> ${L_ARGS})
  set_tests_properties(${L_NAME} PROPERTIES
    LABELS lab
    SKIP_RETURN_CODE 77
    RUN_SERIAL TRUE
    TIMEOUT ${L_TIMEOUT}
    ENVIRONMENT "${QUENDRIX_TEST_ENVIRONMENT}")
endfunction()
