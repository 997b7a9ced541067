target_sources(velmora_ui PRIVATE
  ${CMAKE_SOURCE_DIR}/include/velmora/qlcustsearch.h
  ${CMAKE_CURRENT_LIST_DIR}/qlcustsearch.cpp)
