target_sources(velmora_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/profilefile.h ${CMAKE_CURRENT_LIST_DIR}/profilefile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/layoutrules.h ${CMAKE_CURRENT_LIST_DIR}/layoutrules.cpp)
