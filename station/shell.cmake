# The main window with its side panel and pure helpers, and the Lumivar program.
if(TARGET lumivar_acquisition AND TARGET lumivar_frames AND TARGET lumivar_modes AND TARGET lumivar_remote)
  add_library(lumivar_shell STATIC
    Lumi_cam.cpp Lumi_cam.h
    ModeToolBar.cpp ModeToolBar.h
    PayloadSize.cpp PayloadSize.h
    SidePanel.cpp SidePanel.h
    StationRemote.cpp StationRemote.h
    StationSettings.cpp StationSettings.h
    StationTexts.cpp StationTexts.h
    ${PROJECT_SOURCE_DIR}/resources/forms/LUMI_camClass.ui)
  target_include_directories(lumivar_shell PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(lumivar_shell PUBLIC lumivar_acquisition lumivar_frames lumivar_modes lumivar_remote
    lumivar_prompt nqcamera Qt5::Widgets Qt5::Network Qwt::Qwt)

  add_executable(Lumivar main.cpp ${PROJECT_SOURCE_DIR}/resources/lumivar.qrc)
  target_link_libraries(Lumivar PRIVATE lumivar_shell)
endif()
