# cmake -DSOURCE=utf8-file -DTARGET=installed-file -DICONV=iconv -P ToGb2312.cmake
# Turns an installation data file kept in UTF-8 with LF line breaks into the form the installation
# carries: GB2312 text with CR LF line breaks. A character outside GB2312 fails the build.
foreach(var SOURCE TARGET ICONV)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "ToGb2312.cmake needs -D${var}=...")
    endif()
endforeach()

file(READ "${SOURCE}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
set(crlf "${TARGET}.crlf")
file(WRITE "${crlf}" "${text}")
execute_process(COMMAND "${ICONV}" -f UTF-8 -t GB2312 "${crlf}"
                OUTPUT_FILE "${TARGET}.tmp" RESULT_VARIABLE status ERROR_VARIABLE error)
file(REMOVE "${crlf}")
if(NOT status EQUAL 0)
    file(REMOVE "${TARGET}.tmp")
    message(FATAL_ERROR "${SOURCE}: cannot convert to GB2312: ${error}")
endif()
file(RENAME "${TARGET}.tmp" "${TARGET}")
