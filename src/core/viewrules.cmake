target_sources(velmora_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/viewrules.h
  ${CMAKE_CURRENT_LIST_DIR}/viewrules.cpp)
