target_sources(velmora_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/reportrequest.h ${CMAKE_CURRENT_LIST_DIR}/reportrequest.cpp)
