# Assembles the largest binary load file the template disk takes: its size is the
# template's free sector count (VTOC bytes 3-4) times 125 data bytes per sector.
# Variables: CA65, LD65, TEMPLATE, SOURCE, INCLUDE_DIR, CONFIG, OBJECT, OUTPUT.
file(READ ${TEMPLATE} _free_hex OFFSET 45971 LIMIT 2 HEX)
string(SUBSTRING ${_free_hex} 0 2 _low)
string(SUBSTRING ${_free_hex} 2 2 _high)
math(EXPR _free "0x${_high}${_low}")
math(EXPR _bytes "${_free} * 125")
execute_process(
    COMMAND ${CA65} -I ${INCLUDE_DIR} -D FILE_BYTES=${_bytes} -o ${OBJECT} ${SOURCE}
    RESULT_VARIABLE _status)
if(NOT _status EQUAL 0)
    message(FATAL_ERROR "ca65 failed on ${SOURCE}")
endif()
execute_process(COMMAND ${LD65} -C ${CONFIG} -o ${OUTPUT} ${OBJECT} RESULT_VARIABLE _status)
if(NOT _status EQUAL 0)
    message(FATAL_ERROR "ld65 failed on ${OBJECT}")
endif()
