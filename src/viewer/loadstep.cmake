target_sources(velmora_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/loadstep.h
  ${CMAKE_CURRENT_LIST_DIR}/loadstep.cpp
  ${CMAKE_CURRENT_LIST_DIR}/failurereport.h
  ${CMAKE_CURRENT_LIST_DIR}/failurereport.cpp)
