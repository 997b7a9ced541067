target_sources(velmora_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/platform.cpp)
