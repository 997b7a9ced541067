target_sources(velmora_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/platform.cpp ${CMAKE_CURRENT_LIST_DIR}/frmSplash.h
  ${CMAKE_CURRENT_LIST_DIR}/frmSplash.cpp)
