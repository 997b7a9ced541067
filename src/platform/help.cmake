target_sources(velmora_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/helpwindow.h ${CMAKE_CURRENT_LIST_DIR}/helpwindow.cpp)
# The help file a host ships beside its program (LocalPath); the demo copies it from here.
set(VELMORA_HELP_FILE ${CMAKE_CURRENT_LIST_DIR}/help/velmora.chm CACHE INTERNAL "The component's help file")
install(FILES ${CMAKE_CURRENT_LIST_DIR}/help/velmora.chm DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora)
