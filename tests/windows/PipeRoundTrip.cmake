# tessarin.exe -e - | tessarin.exe -d - over a 20 MiB stream of random
# bytes, through real pipes under Wine: what comes out is what went in, byte
# for byte, and what passed between the two is a container, not the stream.
#   cmake -DWINE_RUN=... -DPREFIX=... -DPROGRAM=tessarin.exe -DWORK=folder -P PipeRoundTrip.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND head -c 20971520 /dev/urandom OUTPUT_FILE ${WORK}/in.bin RESULT_VARIABLE made)
file(WRITE ${WORK}/password "secret")
if(NOT made EQUAL 0)
  message(FATAL_ERROR "the input stream could not be made")
endif()
set(common --defaults -q --no-log --password-file Z:${WORK}/password)
execute_process(
  COMMAND ${WINE_RUN} ${PREFIX} ${PROGRAM} ${common} -e -
  COMMAND tee ${WORK}/between.aes
  COMMAND ${WINE_RUN} ${PREFIX} ${PROGRAM} ${common} -d -
  INPUT_FILE ${WORK}/in.bin OUTPUT_FILE ${WORK}/out.bin
  RESULTS_VARIABLE statuses ERROR_VARIABLE errors)
if(NOT statuses STREQUAL "0;0;0")
  message(FATAL_ERROR "exit statuses ${statuses}:\n${errors}")
endif()
file(SIZE ${WORK}/in.bin in_size)
file(SIZE ${WORK}/between.aes between_size)
if(NOT between_size GREATER in_size)
  message(FATAL_ERROR "the container (${between_size} bytes) is not larger than the stream (${in_size})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/in.bin ${WORK}/between.aes RESULT_VARIABLE same)
if(same EQUAL 0)
  message(FATAL_ERROR "the stream passed between the programs unencrypted")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/in.bin ${WORK}/out.bin RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  file(SIZE ${WORK}/out.bin out_size)
  message(FATAL_ERROR "the stream came back changed (${out_size} bytes for ${in_size})")
endif()
file(REMOVE_RECURSE ${WORK})
