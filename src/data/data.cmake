target_sources(velmora_data PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/recordtable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fbclient.h
  ${CMAKE_CURRENT_LIST_DIR}/fbclient.cpp
  ${CMAKE_CURRENT_LIST_DIR}/connection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/database.h
  ${CMAKE_CURRENT_LIST_DIR}/database.cpp
  ${CMAKE_CURRENT_LIST_DIR}/searchfile.h
  ${CMAKE_CURRENT_LIST_DIR}/searchfile.cpp)
