target_sources(velmora_data PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/recordtable.cpp)
