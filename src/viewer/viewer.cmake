target_sources(velmora_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/frmMain.h
  ${CMAKE_CURRENT_LIST_DIR}/frmMain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/commandbar.h
  ${CMAKE_CURRENT_LIST_DIR}/commandbar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frmPrintPreview.h
  ${CMAKE_CURRENT_LIST_DIR}/frmPrintPreview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/previewpages.h
  ${CMAKE_CURRENT_LIST_DIR}/previewpages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/icons/viewericons.h
  ${CMAKE_CURRENT_LIST_DIR}/icons/viewericons.cpp)
