# Camera search dialog and acquisition thread. Their pure helpers (row texts,
# IPv4 check, frame averaging and its buffer pool) form a library of their own
# that needs no camera.
add_library(lumivar_acqcore STATIC
  AveragePool.cpp AveragePool.h
  CameraRows.cpp CameraRows.h
  FrameAveraging.cpp FrameAveraging.h
  Frame.h
  Ipv4.h)
target_include_directories(lumivar_acqcore PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(lumivar_acqcore PUBLIC nqbase Qt5::Core)

add_library(lumivar_acquisition STATIC
  Thread.cpp Thread.h
  camSearchDlg.cpp camSearchDlg.h
  camWorker.cpp camWorker.h
  ${PROJECT_SOURCE_DIR}/resources/forms/camSrch.ui)
target_include_directories(lumivar_acquisition PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(lumivar_acquisition PUBLIC lumivar_acqcore lumivar_prompt nqcamera Qt5::Widgets)
