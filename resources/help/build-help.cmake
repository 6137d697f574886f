# Called by the build: SOURCE_DIR, WORK_DIR, CHMCMD, ICONV, OUTPUT.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(GLOB pages ${SOURCE_DIR}/*.htm ${SOURCE_DIR}/*.hhc ${SOURCE_DIR}/*.hhk)
foreach(page IN LISTS pages)
  get_filename_component(name ${page} NAME)
  execute_process(COMMAND ${ICONV} -f UTF-8 -t CP1252 ${page} OUTPUT_FILE ${WORK_DIR}/${name}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
file(COPY ${SOURCE_DIR}/hilfe.hhp ${SOURCE_DIR}/hilfe.css DESTINATION ${WORK_DIR})
# chmcmd prints its banner and notes on success and ends with 1 on a broken project.
execute_process(COMMAND ${CHMCMD} hilfe.hhp WORKING_DIRECTORY ${WORK_DIR}
                OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT EXISTS ${WORK_DIR}/hilfe.chm)
  message(FATAL_ERROR "chmcmd failed (${rc}):\n${log}")
endif()
file(COPY_FILE ${WORK_DIR}/hilfe.chm ${OUTPUT})
