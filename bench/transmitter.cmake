# NqTransmitterRaw on loopback beside a raw sendmmsg loop of the same packets,
# with a counting receiver, and paced runs. Run inside the loopback namespace:
#   scripts/in-loopback-netns.sh <build>/bench/bench_transmitter [seconds]
add_executable(bench_transmitter ${CMAKE_CURRENT_LIST_DIR}/bench_transmitter.cpp ${CMAKE_CURRENT_LIST_DIR}/BenchTable.h)
target_link_libraries(bench_transmitter PRIVATE NqTransmitterRaw kytransport Threads::Threads)
