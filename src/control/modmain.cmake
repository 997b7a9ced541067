target_sources(velmora_ui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/modMain.h ${CMAKE_CURRENT_LIST_DIR}/modMain.cpp)
