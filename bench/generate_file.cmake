# Writes one benchmark file with takwrite unless it is already there: the
# sixty-minute file takes minutes to encode, so it is made once per build
# directory and reused. Written under a temporary name and renamed, so an
# interrupted run never leaves a half file behind.
#   cmake -DTAKWRITE=... -DOUTPUT=... -DSIGNAL=<takwrite --synth value> -P generate_file.cmake
if(EXISTS "${OUTPUT}")
  return()
endif()
message(STATUS "bench: writing ${OUTPUT} (${SIGNAL}); made once and reused")
execute_process(
  COMMAND "${TAKWRITE}" --synth "${SIGNAL}" -o "${OUTPUT}.part"
          --tag "Title=Benchmark Piece" --tag "Artist=vardek" --tag "Album=Bench"
          --tag "Year=2024" --tag "Track=1"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE "${OUTPUT}.part")
  message(FATAL_ERROR "takwrite failed for ${OUTPUT}")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
