# Frame handling of the station beside the main window: pixel conversion,
# display buffers, TIFF writers, capture names, list and sidecar files, the
# capture writer, status texts, and the image scene and view.
add_library(lumivar_frames STATIC
  PixelConversion.cpp PixelConversion.h
  FrameCheck.h
  DisplayBuffers.cpp DisplayBuffers.h
  TiffWriter.cpp TiffWriter.h
  CaptureNaming.cpp CaptureNaming.h
  ListFiles.cpp ListFiles.h
  SettingsSidecar.cpp SettingsSidecar.h
  CaptureWriter.cpp CaptureWriter.h
  FrameSlotQueue.cpp FrameSlotQueue.h
  StreamStatistics.cpp StreamStatistics.h
  StatusTexts.cpp StatusTexts.h
  CameraImageArea.cpp CameraImageArea.h
  CustomScene.cpp CustomScene.h
  MyGraphicsView.cpp MyGraphicsView.h
)
target_include_directories(lumivar_frames PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(lumivar_frames PUBLIC Qt5::Widgets TIFF::TIFF nqbase lumivar_features lumivar_prompt)
# The per-frame loops must vectorise; -O2 of GCC 12 leaves them scalar.
set_source_files_properties(PixelConversion.cpp PROPERTIES COMPILE_OPTIONS "-O3")
