target_sources(velmora_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/modMain.h ${CMAKE_CURRENT_LIST_DIR}/modMain.cpp)
