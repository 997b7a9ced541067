target_sources(velmora_obj PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/reportrequest.h ${CMAKE_CURRENT_LIST_DIR}/reportrequest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/error.cpp
  ${CMAKE_SOURCE_DIR}/include/velmora/error.h
  ${CMAKE_SOURCE_DIR}/include/velmora/velmora_export.h
)
