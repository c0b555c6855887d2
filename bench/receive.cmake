# The station's receive paths beside raw Aravis against the simulated camera at
# rising rates. Run inside the loopback namespace:
#   scripts/in-loopback-netns.sh <build>/bench/bench_receive [seconds]
add_executable(bench_receive ${CMAKE_CURRENT_LIST_DIR}/bench_receive.cpp ${CMAKE_CURRENT_LIST_DIR}/BenchTable.h)
set_target_properties(bench_receive PROPERTIES AUTOMOC ON)
target_link_libraries(bench_receive PRIVATE lumivar_shell nqaravisbaseline simcam gvspwire)
lumivar_copy_luts(bench_receive) # the window it runs reads them at start
