# Frames/s and MB/s through NqPipeline beside the raw Aravis loop, against the
# in-process simulated camera. Run inside the loopback namespace:
#   scripts/in-loopback-netns.sh <build>/bench/bench_pipeline
add_executable(bench_pipeline ${CMAKE_CURRENT_LIST_DIR}/bench_pipeline.cpp)
target_link_libraries(bench_pipeline PRIVATE nqcamera nqaravisbaseline simcam)
