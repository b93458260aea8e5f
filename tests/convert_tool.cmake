# Runs zorva_convert on a 640 x 480 picture with a 100 x 100 box and checks
# the BMP it writes with Pillow: 100 x 75 pixels, 24 bits; then what it says
# when it fails.
file(REMOVE ${OUTPUT})
string(REPLACE "|" ";" EMULATOR "${EMULATOR}")
execute_process(COMMAND ${EMULATOR} ${TOOL} ${INPUT} ${OUTPUT} 100 100 RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "zorva_convert failed: ${out}")
endif()
execute_process(
  COMMAND /usr/bin/python3 -c "import sys; from PIL import Image; i = Image.open(sys.argv[1]); print(i.size, i.mode)" ${OUTPUT}
  RESULT_VARIABLE rc OUTPUT_VARIABLE seen OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0 OR NOT seen STREQUAL "(100, 75) RGB")
  message(FATAL_ERROR "the written BMP reads as '${seen}', not a 100 x 75 RGB picture")
endif()
# Failures say why: a missing file, a box that is no size; an output named
# for another format is said to be a BMP.
foreach(case "${INPUT}.missing;${OUTPUT};does not exist" "${INPUT};${OUTPUT};-5;240;box -5 x 240 is not usable"
    "${INPUT};${OUTPUT}.png;written as a BMP file, not as its extension .png says")
  list(POP_BACK case expected)
  execute_process(COMMAND ${EMULATOR} ${TOOL} ${case} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE said)
  string(FIND "${said}" "${expected}" at)
  set(succeeds OFF)
  if(expected MATCHES "^written")
    set(succeeds ON)
  endif()
  if(at EQUAL -1 OR (succeeds AND NOT rc EQUAL 0) OR (NOT succeeds AND rc EQUAL 0))
    message(FATAL_ERROR "zorva_convert ${case}: exit ${rc}, said '${said}', not '${expected}'")
  endif()
endforeach()
