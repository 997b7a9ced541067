target_sources(velmora_obj PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/platform.h ${CMAKE_CURRENT_LIST_DIR}/platform.cpp
)
