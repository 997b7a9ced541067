target_sources(velmora_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/cellvalue.h
  ${CMAKE_CURRENT_LIST_DIR}/cellvalue.cpp)
