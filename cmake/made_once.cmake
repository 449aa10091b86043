# fwflash_made_once(VAR FOLDER SCRIPT DOC): the cache path VAR (by default build/FOLDER)
# holds what SCRIPT makes from a Debian source package, made when the tree is configured
# and only while missing (SCRIPT does nothing when it is there); configuring stops when it
# cannot be made.
function(fwflash_made_once var folder script doc)
  set(${var} ${CMAKE_BINARY_DIR}/${folder} CACHE PATH "${doc}")
  execute_process(COMMAND ${script} ${${var}} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${folder} could not be made in ${${var}} (${script})")
  endif()
endfunction()
