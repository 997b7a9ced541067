target_sources(velmora_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/catalogue.h
  ${CMAKE_CURRENT_LIST_DIR}/catalogue.cpp)
