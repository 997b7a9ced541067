target_sources(velmora_ui PRIVATE
  ${CMAKE_SOURCE_DIR}/include/velmora/error.h
  ${CMAKE_SOURCE_DIR}/include/velmora/qlrvx.h
  ${CMAKE_CURRENT_LIST_DIR}/error.cpp
  ${CMAKE_CURRENT_LIST_DIR}/loadviewer.h
  ${CMAKE_CURRENT_LIST_DIR}/loadviewer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/qlrvx.cpp)
