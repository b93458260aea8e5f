# Runs zorva_convert on a 640 x 480 picture with a 100 x 100 box and checks
# the BMP it writes with Pillow: 100 x 75 pixels, 24 bits.
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
execute_process(COMMAND ${EMULATOR} ${TOOL} ${INPUT}.missing ${OUTPUT} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(rc EQUAL 0)
  message(FATAL_ERROR "zorva_convert reported success for a missing file")
endif()
