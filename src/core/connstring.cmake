target_sources(velmora_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/connstring.h
  ${CMAKE_CURRENT_LIST_DIR}/connstring.cpp)
