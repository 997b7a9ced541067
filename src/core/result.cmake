target_sources(velmora_obj PRIVATE ${CMAKE_CURRENT_LIST_DIR}/result.h)
