# The station's acquisition thread beside raw Aravis, against the simulated camera.
add_executable(bench_acquisition ${CMAKE_CURRENT_LIST_DIR}/bench_acquisition.cpp)
set_target_properties(bench_acquisition PROPERTIES AUTOMOC ON)
target_link_libraries(bench_acquisition PRIVATE lumivar_camera nqaravisbaseline simcam)
