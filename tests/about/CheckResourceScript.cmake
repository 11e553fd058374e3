# Compiles the resource script with windres, reads the result back and checks
# that it holds the version resource and icon group 1 with image 30001.
# Variables: WINDRES, RC, OUT (a folder for the results).
file(MAKE_DIRECTORY ${OUT})
get_filename_component(rc_dir ${RC} DIRECTORY)
execute_process(
  COMMAND ${WINDRES} --preprocessor=cpp --preprocessor-arg=-DRC_INVOKED
          --include-dir=${rc_dir} ${RC} -O coff -o ${OUT}/halvarin.res.o
  RESULT_VARIABLE rc_result)
if(NOT rc_result EQUAL 0)
  message(FATAL_ERROR "windres could not compile ${RC}")
endif()
execute_process(
  COMMAND ${WINDRES} --preprocessor=cpp --preprocessor-arg=-DRC_INVOKED
          --include-dir=${rc_dir} ${RC} -O res -o ${OUT}/halvarin.res
  RESULT_VARIABLE res_result)
execute_process(COMMAND ${WINDRES} -i ${OUT}/halvarin.res -O rc
                OUTPUT_VARIABLE dump RESULT_VARIABLE dump_result)
if(NOT res_result EQUAL 0 OR NOT dump_result EQUAL 0)
  message(FATAL_ERROR "windres could not read the compiled resources back")
endif()
foreach(expected
    "1 VERSIONINFO"
    "FILEVERSION 1, 0, 0, 0"
    "PRODUCTVERSION 1, 0, 0, 0"
    "FILEOS 0x4"
    "FILETYPE 0x1"
    "VALUE \"ProductName\", \"Halvarin\""
    "VALUE \"Translation\", 0x409, 1200"
    "1 14 /\\* RT_GROUP_ICON \\*/"
    "\"\\\\040\\\\040\\\\000\\\\000\", 1, 24, 0xca8L, 30001"
    "30001 3 /\\* RT_ICON \\*/"
    "LANGUAGE 9, 1")
  if(NOT dump MATCHES "${expected}")
    message(FATAL_ERROR "compiled resources lack: ${expected}\n${dump}")
  endif()
endforeach()
message(STATUS "resource script compiles with version resource and icon group 1 -> 30001")
