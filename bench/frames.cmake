# Display conversion against memcpy, and a TIFF series against raw writes.
find_package(benchmark QUIET)
if(benchmark_FOUND)
  add_executable(bench_frames ${CMAKE_CURRENT_LIST_DIR}/FramesBench.cpp)
  target_link_libraries(bench_frames PRIVATE lumivar_capture benchmark::benchmark)
endif()
