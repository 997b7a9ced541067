target_sources(velmora_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/reportrequest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/error.cpp
  ${CMAKE_SOURCE_DIR}/include/velmora/error.h)
