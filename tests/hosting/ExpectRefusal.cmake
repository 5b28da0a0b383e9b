# cmake -DPROGRAM=<exe> -DARGS=<arguments separated by |> -P ExpectRefusal.cmake
# Passes when the program refuses the arguments: a non-zero exit (not a crash or a hang) with the
# reason on its error output.
string(REPLACE "|" ";" arguments "${ARGS}")
execute_process(COMMAND ${PROGRAM} ${arguments} RESULT_VARIABLE result ERROR_VARIABLE errors
  OUTPUT_QUIET TIMEOUT 60)
if(NOT result MATCHES "^[1-9][0-9]*$" OR NOT errors MATCHES "brondavell_render: .+")
  message(FATAL_ERROR "expected a refusal of '${ARGS}', got exit '${result}' and: ${errors}")
endif()
