# Makes the program folder's slot links: one link to the toolkit for every slot that
# "quillet-toolkit --slots" lists. Run by the build: cmake -DTOOLKIT=... -DPROGRAM_DIR=...
execute_process(COMMAND ${TOOLKIT} --slots OUTPUT_VARIABLE slots RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOLKIT} --slots failed: ${status}")
endif()
string(REPLACE "\n" ";" slots "${slots}")
foreach(slot IN LISTS slots)
  if(slot)
    get_filename_component(folder ${slot} DIRECTORY)
    file(MAKE_DIRECTORY ${PROGRAM_DIR}/${folder})
    file(CREATE_LINK ../quillet-toolkit ${PROGRAM_DIR}/${slot} SYMBOLIC)
  endif()
endforeach()
