# Remote-control protocol and the pulse-generator pages: pure code that the
# console and the test peers can link without the widgets.
add_library(lumivar_remoteprotocol STATIC
  ${CMAKE_CURRENT_LIST_DIR}/RemoteProtocol.cpp ${CMAKE_CURRENT_LIST_DIR}/RemoteProtocol.h
  ${CMAKE_CURRENT_LIST_DIR}/TmxRequest.cpp ${CMAKE_CURRENT_LIST_DIR}/TmxRequest.h)
target_include_directories(lumivar_remoteprotocol PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(lumivar_remoteprotocol PUBLIC Qt5::Core)

# The station's remote-control server, its generator link and the
# generator-IP dialog.
add_library(lumivar_remote STATIC
  ${CMAKE_CURRENT_LIST_DIR}/RemoteHandler.h
  ${CMAKE_CURRENT_LIST_DIR}/RemoteStatusProvider.h
  ${CMAKE_CURRENT_LIST_DIR}/RemoteServer.cpp ${CMAKE_CURRENT_LIST_DIR}/RemoteServer.h
  ${CMAKE_CURRENT_LIST_DIR}/TmxSettings.h
  ${CMAKE_CURRENT_LIST_DIR}/TmxLink.cpp ${CMAKE_CURRENT_LIST_DIR}/TmxLink.h
  ${CMAKE_CURRENT_LIST_DIR}/setIPDlg.cpp ${CMAKE_CURRENT_LIST_DIR}/setIPDlg.h
  ${PROJECT_SOURCE_DIR}/resources/forms/setIPDlg.ui)
set_target_properties(lumivar_remote PROPERTIES AUTOMOC ON AUTOUIC ON
  AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/resources/forms)
target_include_directories(lumivar_remote PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(lumivar_remote PUBLIC lumivar_remoteprotocol lumivar_prompt Qt5::Network Qt5::Widgets)
