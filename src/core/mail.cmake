target_sources(velmora_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/mailrules.h ${CMAKE_CURRENT_LIST_DIR}/mailrules.cpp)
