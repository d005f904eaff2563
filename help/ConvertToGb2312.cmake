# Turns one help source (kept in UTF-8 so it can be edited and diffed) into the GB2312 file
# that goes into record.chm, and switches its charset declaration to match.
#   cmake -DICONV=<iconv> -DIN=<source> -DOUT=<staged file> -P ConvertToGb2312.cmake
# Fails when the text holds a character GB2312 lacks (an em dash or a middle dot, for
# instance), so such a character is caught at build time instead of showing as "?".
file(READ "${IN}" text)
string(REPLACE "charset=utf-8" "charset=gb2312" text "${text}")
file(WRITE "${OUT}.utf8" "${text}")
execute_process(
  COMMAND "${ICONV}" -f UTF-8 -t GB2312 "${OUT}.utf8"
  OUTPUT_FILE "${OUT}"
  RESULT_VARIABLE rc
  ERROR_VARIABLE err)
file(REMOVE "${OUT}.utf8")
if(NOT rc EQUAL 0)
  file(REMOVE "${OUT}")
  message(FATAL_ERROR "${IN}: text that GB2312 cannot hold: ${err}")
endif()
