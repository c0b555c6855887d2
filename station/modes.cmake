# Reads and writes of single camera features through the abstract parameter
# interface; shared by the frame modules and the mode logic.
add_library(lumivar_features STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FeatureValues.cpp ${CMAKE_CURRENT_LIST_DIR}/FeatureValues.h)
target_include_directories(lumivar_features PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(lumivar_features PUBLIC nqbase Qt5::Core)

# Acquisition modes, camera configuration and run rules of the station: the
# camera-facing and rule-level logic behind the main window's mode, gate,
# exposure and run slots, usable without the window.
add_library(lumivar_modes STATIC
  ${CMAKE_CURRENT_LIST_DIR}/CameraConfig.cpp ${CMAKE_CURRENT_LIST_DIR}/CameraConfig.h
  ${CMAKE_CURRENT_LIST_DIR}/EventWait.cpp ${CMAKE_CURRENT_LIST_DIR}/EventWait.h
  ${CMAKE_CURRENT_LIST_DIR}/ExposureControl.cpp ${CMAKE_CURRENT_LIST_DIR}/ExposureControl.h
  ${CMAKE_CURRENT_LIST_DIR}/ExposureUnit.cpp ${CMAKE_CURRENT_LIST_DIR}/ExposureUnit.h
  ${CMAKE_CURRENT_LIST_DIR}/GateSet.cpp ${CMAKE_CURRENT_LIST_DIR}/GateSet.h
  ${CMAKE_CURRENT_LIST_DIR}/ModeFeatures.cpp ${CMAKE_CURRENT_LIST_DIR}/ModeFeatures.h
  ${CMAKE_CURRENT_LIST_DIR}/ModeLayout.cpp ${CMAKE_CURRENT_LIST_DIR}/ModeLayout.h
  ${CMAKE_CURRENT_LIST_DIR}/ModeSteps.cpp ${CMAKE_CURRENT_LIST_DIR}/ModeSteps.h
  ${CMAKE_CURRENT_LIST_DIR}/RunRules.cpp ${CMAKE_CURRENT_LIST_DIR}/RunRules.h
  ${CMAKE_CURRENT_LIST_DIR}/SettingsKeys.h)
set_target_properties(lumivar_modes PROPERTIES AUTOMOC ON)
target_include_directories(lumivar_modes PUBLIC ${CMAKE_CURRENT_LIST_DIR})
# Gate fields are read as the generator request reads them.
target_link_libraries(lumivar_modes PUBLIC lumivar_features lumivar_prompt lumivar_remoteprotocol nqbase Qt5::Core)
