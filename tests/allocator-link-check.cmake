# cmake -DNM=... -DKANORU2=... -DKANOLINK=... -P allocator-link-check.cmake
# Kanoru2 routes its allocations through the small-block allocator; Kanolink keeps the C heap and
# so must not hold the allocator at all.
foreach(program KANORU2 KANOLINK)
  execute_process(COMMAND ${NM} ${${program}} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${NM} could not read ${${program}}")
  endif()
  string(FIND "${symbols}" "GetSmallBlockAllocator" found)
  if(program STREQUAL "KANORU2" AND found EQUAL -1)
    message(FATAL_ERROR "Kanoru2 does not link the small-block allocator")
  elseif(program STREQUAL "KANOLINK" AND NOT found EQUAL -1)
    message(FATAL_ERROR "Kanolink links the small-block allocator")
  endif()
endforeach()
