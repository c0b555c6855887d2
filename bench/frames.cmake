# Display conversion against memcpy, and TIFF series against raw writes.
#   <build>/bench/bench_frames   (BENCH_DIR: folder to write the series into)
add_executable(bench_frames ${CMAKE_CURRENT_LIST_DIR}/bench_frames.cpp ${CMAKE_CURRENT_LIST_DIR}/BenchTable.h)
target_link_libraries(bench_frames PRIVATE lumivar_capture lumivar_frames)
