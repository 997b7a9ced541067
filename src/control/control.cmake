target_sources(velmora_ui PRIVATE
  ${CMAKE_SOURCE_DIR}/include/velmora/error.h
  ${CMAKE_SOURCE_DIR}/include/velmora/qlrvx.h
  ${CMAKE_CURRENT_LIST_DIR}/error.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frmSplash.h
  ${CMAKE_CURRENT_LIST_DIR}/frmSplash.cpp
  ${CMAKE_CURRENT_LIST_DIR}/qlrvx.cpp)
