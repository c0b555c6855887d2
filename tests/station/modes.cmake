# The feature-recording camera double (reused by other station tests) and the
# tests of the mode, gate, exposure and run logic.
add_library(station_recording STATIC
  ${CMAKE_CURRENT_LIST_DIR}/RecordingParameters.cpp ${CMAKE_CURRENT_LIST_DIR}/RecordingParameters.h)
target_include_directories(station_recording PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(station_recording PUBLIC nqbase Qt5::Core)

if(TARGET lumivar_modes)
  kessane_add_test(NAME tst_cameraconfig SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_cameraconfig.cpp
    LIBS lumivar_modes lumivar_features station_recording)
  kessane_add_test(NAME tst_exposurecontrol SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_exposurecontrol.cpp
    LIBS lumivar_modes station_recording station_testsupport)
  kessane_add_test(NAME tst_modelayout SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_modelayout.cpp
    LIBS lumivar_modes)
  kessane_add_test(NAME tst_runrules SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_runrules.cpp
    LIBS lumivar_modes)
  kessane_add_test(NAME tst_eventwait SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_eventwait.cpp
    LIBS lumivar_modes)
endif()

# Against the simulated camera (built by tools/ when present), on its own
# loopback address so it needs no lock.
if(TARGET lumivar_modes AND TARGET simcam AND TARGET nqcamera)
  kessane_add_test(NAME tst_modes_simcam SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_modes_simcam.cpp
    LIBS lumivar_modes station_testsupport nqcamera simcam TIMEOUT 60)
endif()
