# The console polling stand-in stations, beside the same console with its
# status list closed. Run inside the loopback namespace:
#   scripts/in-loopback-netns.sh <build>/bench/bench_console [seconds]
add_executable(bench_console ${CMAKE_CURRENT_LIST_DIR}/bench_console.cpp ${CMAKE_CURRENT_LIST_DIR}/BenchTable.h)
target_link_libraries(bench_console PRIVATE orchestrel_console)
target_include_directories(bench_console PRIVATE ${PROJECT_SOURCE_DIR}/tools)
target_compile_definitions(bench_console PRIVATE ORCHESTREL_PEERS="$<TARGET_FILE:orchestrel-peers>")
add_dependencies(bench_console orchestrel-peers)
